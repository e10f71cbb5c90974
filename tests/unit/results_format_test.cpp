// Numbers of the result table that must not underflow or round wrongly.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "results/result_options.h"
#include "results/row_fields.h"

namespace {

TEST(FormatLog10, WritesWhatPrintfWouldAlsoBelowTheSmallestDouble) {
  EXPECT_EQ("0.0503", format_log10(std::log10(0.0503)));
  EXPECT_EQ("1", format_log10(0.0));
  EXPECT_EQ("1e-05", format_log10(-5.0));
  EXPECT_EQ("3.2e-400", format_log10(std::log10(3.2) - 400));
  // 9.996e-401 rounds to 10.0e-401: the carry goes into the exponent.
  EXPECT_EQ("1e-400", format_log10(std::log10(9.996) - 401));
  EXPECT_EQ("2.5e+310", format_log10(std::log10(2.5) + 310));
  EXPECT_EQ("0", format_log10(-std::numeric_limits<double>::infinity()));
  EXPECT_EQ("", format_log10(std::numeric_limits<double>::quiet_NaN()));
}

TEST(SortOrder, NamesEveryOrderAndNothingElse) {
  SortOrder order = SortOrder::PValue;
  EXPECT_TRUE(parse_sort_order("ratio", order));
  EXPECT_EQ(SortOrder::Ratio, order);
  EXPECT_TRUE(parse_sort_order("support", order));
  EXPECT_TRUE(parse_sort_order("pattern", order));
  EXPECT_TRUE(parse_sort_order("pvalue", order));
  EXPECT_EQ(SortOrder::PValue, order);
  EXPECT_FALSE(parse_sort_order("PValue", order));
  EXPECT_FALSE(parse_sort_order("", order));
}

}  // namespace
