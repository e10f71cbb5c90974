// Option quirks that the golden cases do not show: lenient numbers, the
// per-file minimums, a class character above 127, flags and repeats.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "run/globals.h"
#include "run/options.h"

namespace {

// Parses a command line given as words (program name added) into fresh settings.
struct Parsed {
  RunParams params;
  std::vector<std::string> words;
  std::vector<char*> argv;

  explicit Parsed(std::vector<std::string> args) : words(std::move(args)) {
    words.insert(words.begin(), "morva");
    for (auto& w : words) argv.push_back(&w[0]);
    set_default_settings();
    parse_options(static_cast<int>(argv.size()), argv.data(), params);
  }
};

TEST(OptionNumbers, IntegersAreLenientAndSaturateRealsAreDecimalOnly) {
  const std::vector<std::pair<const char*, int>> ints = {
      {"  -12abc", -12}, {"+7", 7}, {"abc", 0}, {"", 0}, {"-minpos", 0},
      {"99999999999999999999", INT_MAX}, {"-99999999999999999999", INT_MIN}};
  for (const auto& [text, value] : ints) EXPECT_EQ(read_int(text), value) << text;
  const std::vector<std::pair<const char*, double>> reals = {
      {"1e-3x", 0.001}, {" -0.01", -0.01}, {".5", 0.5}, {"2e", 2.0}, {"nan", 0.0},
      {"inf", 0.0},     {"0x10", 0.0},     {"-", 0.0}};
  for (const auto& [text, value] : reals) EXPECT_DOUBLE_EQ(read_real(text), value) << text;
}

TEST(OptionParsing, PerFileMinimumsKeepTheLastAsTheTestedOne) {
  Parsed p({"-f", "a.txt", "-ms", "3", "-f", "b.txt", "-ms", "2"});
  EXPECT_STREQ(p.params.input_files[2], "b.txt");
  EXPECT_EQ(p.params.input_files[3], nullptr);
  EXPECT_EQ(minclass, 2);
  EXPECT_EQ(min_strings_in_classes[1], 3);
  EXPECT_EQ(min_strings_in_classes[2], 2);
  validate_settings(p.params);
  EXPECT_EQ(minstrings, 2);
  EXPECT_EQ(minpos, 2);
}

TEST(OptionParsing, HighClassCharacterNeverWritesOutsideTheTable) {
  Parsed p({"-f", "a.txt", "-minstringsinclass", "\xe9", "4"});
  EXPECT_LT(minclass, 0);
  EXPECT_EQ(minstringsinclass, 4);
}

TEST(OptionParsing, FlagsTakeNoValueAndRepeatsOverwrite) {
  Parsed p({"-onepos", "-minpos", "4", "-minpos", "6", "-f", "a.txt", "-genorder", "freq_first"});
  EXPECT_EQ(onepos, 1);
  EXPECT_EQ(onestr, 0);
  EXPECT_EQ(minpos, 6);
  EXPECT_EQ(genorder, 2);
}

}  // namespace
