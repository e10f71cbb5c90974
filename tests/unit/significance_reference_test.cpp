// The Fisher test under each alternative and the smallest p-value a support
// can reach, against exact tails (tools/gen_significance_reference.py).
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "reference_table.h"
#include "results/statistics.h"

namespace {

TEST(SignificanceAccuracy, MatchesExactReference) {
  ErrorTally tally;
  const int lines = for_each_reference_line(
      "significance_reference.txt", [&](const std::string& fn, std::istringstream& ls, const std::string& line) {
        std::string alt_word, r;
        ls >> alt_word;
        Alternative alt;
        ASSERT_TRUE(parse_alternative(alt_word.c_str(), alt)) << line;
        double got;
        if (fn == "fisher") {
          int s1, t1, s2, t2;
          ls >> s1 >> t1 >> s2 >> t2 >> r;
          got = log10_fisher(alt, s1, t1, s2, t2);
        } else if (fn == "psi") {
          int x, t1, t2;
          ls >> x >> t1 >> t2 >> r;
          got = log10_min_fisher(alt, x, t1, t2);
        } else {
          ADD_FAILURE() << "unknown line: " << line;
          return;
        }
        ASSERT_FALSE(ls.fail()) << "malformed line: " << line;
        const double ref = std::strtod(r.c_str(), nullptr);
        // A p-value of exactly 1 must come out as 0; the rest to a relative
        // error of the logarithm, or an absolute one where it is near 0.
        const double err = ref == 0.0 ? std::fabs(got) : std::fabs(got - ref) / std::max(std::fabs(ref), 1e-3);
        tally.record(fn + " " + alt_word, err, 1e-9, got, line);
      });
  EXPECT_GT(lines, 400);
  EXPECT_EQ(tally.failures(), 0);
  tally.print("function/alternative");
}

}  // namespace
