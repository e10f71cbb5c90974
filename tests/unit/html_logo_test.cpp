// Letter heights of the report's sequence logos and the page built around
// them, on hand cases.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "results/html_report.h"
#include "results/logo.h"
#include "results/svg_writer.h"

namespace {

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(ColumnProfile, OneLetterCarriesAllTheInformation) {
  const ColumnProfile p = column_profile("WWWWW", 20);
  EXPECT_DOUBLE_EQ(std::log2(20.0), p.information);
  ASSERT_EQ(1u, p.letters.size());
  EXPECT_EQ('W', p.letters[0].letter);
  EXPECT_DOUBLE_EQ(1.0, p.letters[0].frequency);
  EXPECT_DOUBLE_EQ(std::log2(20.0), p.letters[0].bits);
}

TEST(ColumnProfile, UniformColumnCarriesNone) {
  const ColumnProfile p = column_profile("ACGTTGCA", 4);
  EXPECT_NEAR(0.0, p.information, 1e-12);
  ASSERT_EQ(4u, p.letters.size());
  for (const LetterHeight& l : p.letters) {
    EXPECT_DOUBLE_EQ(0.25, l.frequency);
    EXPECT_NEAR(0.0, l.bits, 1e-12);
  }
}

TEST(ColumnProfile, HeightsAreFrequencyTimesInformationLowestFirst) {
  // Three A and one G over N = 4: H = -(3/4 log2 3/4 + 1/4 log2 1/4).
  const double h = -(0.75 * std::log2(0.75) + 0.25 * std::log2(0.25));
  const ColumnProfile p = column_profile("AGAA", 4);
  EXPECT_NEAR(2.0 - h, p.information, 1e-12);
  ASSERT_EQ(2u, p.letters.size());
  EXPECT_EQ('G', p.letters[0].letter);  // stacked first, at the bottom
  EXPECT_NEAR(0.25 * (2.0 - h), p.letters[0].bits, 1e-12);
  EXPECT_EQ('A', p.letters[1].letter);
  EXPECT_NEAR(0.75 * (2.0 - h), p.letters[1].bits, 1e-12);
  // Two letters half each: exactly one bit of four possible two.
  EXPECT_NEAR(1.0, column_profile("CTCT", 4).information, 1e-12);
}

TEST(ColumnProfile, NeverNegativeAndEmptyIsEmpty) {
  // More letters than N said (a STOP character, a letter of the other
  // strand): N grows to the letters seen rather than IC going below 0.
  EXPECT_NEAR(0.0, column_profile("ACGT", 2).information, 1e-12);
  EXPECT_GE(column_profile("ACGTA", 2).information, 0.0);
  const ColumnProfile empty = column_profile("", 20);
  EXPECT_EQ(0.0, empty.information);
  EXPECT_TRUE(empty.letters.empty());
}

TEST(LetterColour, FollowsTheUsualSchemes) {
  EXPECT_STREQ("#109648", letter_colour('A', true));
  EXPECT_STREQ("#255c99", letter_colour('C', true));
  EXPECT_STREQ("#f7a21b", letter_colour('G', true));
  EXPECT_STREQ("#d62839", letter_colour('T', true));
  EXPECT_STREQ("#d62839", letter_colour('D', false));  // acidic
  EXPECT_STREQ("#255c99", letter_colour('K', false));  // basic
  EXPECT_STREQ("#109648", letter_colour('S', false));  // polar
  EXPECT_STREQ("#222222", letter_colour('L', false));  // hydrophobic
  EXPECT_STREQ("#888888", letter_colour('X', false));
}

TEST(Logo, OneColumnPerElementWildcardsAndGapsMarked) {
  std::vector<LogoElement> elements(4);
  elements[0].label = "G";
  elements[0].letters = "GGGG";
  elements[1].kind = ElementKind::Wildcard;
  elements[1].label = ".";
  elements[1].letters = "ACDE";
  elements[2].kind = ElementKind::Group;
  elements[2].label = "[ST]";
  elements[2].letters = "SSTS";
  elements[3].label = "K";
  elements[3].letters = "KKKK";
  elements[3].gap_before = true;
  elements[3].gap_min = 0;
  elements[3].gap_max = 3;
  SvgWriter svg;
  draw_logo(svg, "G.[ST].{0,3}K<&>", elements, 20, false);
  const std::string s = svg.finish();
  EXPECT_EQ(0u, s.find("<svg class=\"logo\" data-pattern=\"G.[ST].{0,3}K&lt;&amp;&gt;\""));
  EXPECT_EQ(4, count(s, "<g class=\"column"));
  EXPECT_EQ(1, count(s, "class=\"column wildcard\""));
  EXPECT_EQ(1, count(s, "class=\"column group\""));
  EXPECT_EQ(1, count(s, "class=\"column gapped\""));
  EXPECT_NE(std::string::npos, s.find(">+0-3</text>"));
  // The wildcard shows the letters its sites hold (A, C, D, E a quarter
  // each: log2 20 - 2 bits, all four tall enough to draw) besides G, S, T
  // and K; a full column of one letter is log2 20 bits high, the whole 100
  // pixels (capitals 0.73 of the 20-pixel font).
  EXPECT_EQ(8, count(s, "scale("));
  EXPECT_NE(std::string::npos, s.find(">D</text>"));
  EXPECT_NE(std::string::npos, s.find(">G</text>"));
  EXPECT_NE(std::string::npos, s.find("," + svg_number(100.0 / (0.73 * 20), 3) + ")\""));
  EXPECT_EQ(count(s, "<g"), count(s, "</g>"));
  EXPECT_EQ(1, count(s, "</svg>"));
}

TEST(Logo, FlankColumnsLieOutsideTheFrameAndAreNoPatternColumn) {
  std::vector<LogoElement> elements(3);
  elements[0].kind = elements[2].kind = ElementKind::Flank;
  elements[0].counts = {{'A', 3}, {'T', 1}};
  elements[1].counts = {{'G', 4}};
  SvgWriter svg;
  draw_logo(svg, "G", elements, 4, true, "logo-background", 0.5);
  const std::string s = svg.finish();
  EXPECT_EQ(0u, s.find("<svg class=\"logo-background\""));
  EXPECT_EQ(1, count(s, "<g class=\"column"));
  EXPECT_EQ(2, count(s, "<g class=\"flank\""));
  // The frame spans the middle column alone: x = 34 + 24.
  EXPECT_NE(std::string::npos, s.find("<rect class=\"frame\" x=\"58\" y=\"6\" width=\"24\""));
}

TEST(StartHistogram, BinsCoverZeroToOne) {
  const std::vector<int> bins = start_histogram({0.0, 0.049, 0.05, 0.5, 0.999, 1.0, -0.1}, 20);
  ASSERT_EQ(20u, bins.size());
  EXPECT_EQ(3, bins[0]);
  EXPECT_EQ(1, bins[1]);
  EXPECT_EQ(1, bins[10]);
  EXPECT_EQ(2, bins[19]);
}

TEST(HtmlReportPage, RowsAndLogosCarryTheirPatternEscaped) {
  HtmlReport report;
  report.command = "morva -f 'a b.txt' -html r.html";
  report.version = "morva_0.1.05";
  report.alphabet = "ACGT";
  report.alphabet_letters = 4;
  report.nucleotide = true;
  report.columns = {"rank", "pattern", "length"};
  for (const char* pattern : {"AC<G>", "T\"&'A"}) {
    HtmlMotif m;
    m.pattern = pattern;
    m.fields = {"1", pattern, "5"};
    for (char c : std::string(pattern)) {
      LogoElement e;
      e.label = std::string(1, c);
      e.letters = std::string(3, c);
      m.elements.push_back(e);
    }
    m.classes = {{"pos", 3, 4}, {"neg", 0, 5}};
    m.starts = {0.1, 0.2, 0.95};
    report.motifs.push_back(m);
  }
  const std::string page = html_report_page(report);
  EXPECT_EQ(0u, page.find("<!DOCTYPE html>"));
  EXPECT_EQ(1, count(page, "<table id=\"patterns\">"));
  EXPECT_EQ(1, count(page, "<tr data-pattern=\"AC&lt;G&gt;\" "));
  EXPECT_EQ(1, count(page, "<tr data-pattern=\"T&quot;&amp;&#39;A\" "));
  EXPECT_EQ(1, count(page, "<svg class=\"logo\" data-pattern=\"AC&lt;G&gt;\""));
  EXPECT_EQ(10, count(page, "<g class=\"column"));
  EXPECT_EQ(2, count(page, "<svg class=\"classes\""));
  EXPECT_EQ(2, count(page, "<svg class=\"starts\""));
  EXPECT_NE(std::string::npos, page.find("morva -f &#39;a b.txt&#39; -html r.html"));
  // Self-contained: nothing is loaded from anywhere.
  EXPECT_EQ(0, count(page, " src="));
  EXPECT_EQ(0, count(page, "href=\"http"));
  EXPECT_EQ(0, count(page, "url("));
  EXPECT_EQ(1, count(page, "<script>"));
}

}  // namespace
