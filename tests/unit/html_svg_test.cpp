// The report's small markup writer: escaping, nesting, short numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "results/svg_writer.h"

namespace {

TEST(MarkupEscape, EscapesMarkupAndDropsControlBytes) {
  EXPECT_EQ("a&lt;b&gt;&amp;&quot;c&quot;&#39;", markup_escape("a<b>&\"c\"'"));
  EXPECT_EQ("tab\there\nline", markup_escape(std::string("tab\there\nline")));
  EXPECT_EQ("ab", markup_escape(std::string("a\x01\x1b") + "b\x7f"));
  EXPECT_EQ("[ILVM]..{0,3}K", markup_escape("[ILVM]..{0,3}K"));
  EXPECT_EQ("\xc3\xa9", markup_escape("\xc3\xa9"));  // UTF-8 passes
}

TEST(SvgNumber, ShortestFixedForm) {
  EXPECT_EQ("12", svg_number(12.0));
  EXPECT_EQ("3.5", svg_number(3.50));
  EXPECT_EQ("0.25", svg_number(0.25));
  EXPECT_EQ("0.33", svg_number(1.0 / 3));
  EXPECT_EQ("0.333", svg_number(1.0 / 3, 3));
  EXPECT_EQ("0", svg_number(-0.001));
  EXPECT_EQ("-1.5", svg_number(-1.5));
  EXPECT_EQ("100", svg_number(100.0, 0));
  EXPECT_EQ("0", svg_number(std::nan("")));
}

TEST(SvgWriter, NestsClosesAndEscapesAttributes) {
  SvgWriter w;
  w.open("svg", {{"class", "logo"}, {"data-pattern", "A<\"&"}});
  EXPECT_EQ(1, w.depth());
  w.open("g", {{"class", "column"}});
  w.leaf("rect", {{"x", "1"}, {"y", "2"}});
  w.element("text", {{"fill", "#fff"}}, "<A>");
  w.close();
  w.open("g").text("x & y");
  EXPECT_EQ(2, w.depth());
  // finish() closes what is still open, innermost first.
  EXPECT_EQ(
      "<svg class=\"logo\" data-pattern=\"A&lt;&quot;&amp;\"><g class=\"column\"><rect x=\"1\" y=\"2\"/>"
      "<text fill=\"#fff\">&lt;A&gt;</text></g><g>x &amp; y</g></svg>",
      w.finish());
  EXPECT_EQ(0, w.depth());
  // Closing with nothing open does nothing; raw markup passes as written.
  w.close().raw("<b>&amp;</b>");
  EXPECT_EQ("<b>&amp;</b>", w.finish());
}

}  // namespace
