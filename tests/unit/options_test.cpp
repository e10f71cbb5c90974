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

TEST(OptionNumbers, IntegersAreReadLeniently) {
  EXPECT_EQ(read_int("  -12abc"), -12);
  EXPECT_EQ(read_int("+7"), 7);
  EXPECT_EQ(read_int("abc"), 0);
  EXPECT_EQ(read_int(""), 0);
  EXPECT_EQ(read_int("3x"), 3);
  EXPECT_EQ(read_int("-minpos"), 0);
  EXPECT_EQ(read_int("99999999999999999999"), INT_MAX);
  EXPECT_EQ(read_int("-99999999999999999999"), INT_MIN);
}

TEST(OptionNumbers, RealsAreDecimalOnly) {
  EXPECT_DOUBLE_EQ(read_real("1e-3x"), 0.001);
  EXPECT_DOUBLE_EQ(read_real(" -0.01"), -0.01);
  EXPECT_DOUBLE_EQ(read_real(".5"), 0.5);
  EXPECT_DOUBLE_EQ(read_real("2e"), 2.0);
  EXPECT_DOUBLE_EQ(read_real("nan"), 0.0);
  EXPECT_DOUBLE_EQ(read_real("inf"), 0.0);
  EXPECT_DOUBLE_EQ(read_real("0x10"), 0.0);
  EXPECT_DOUBLE_EQ(read_real("-"), 0.0);
}

TEST(OptionParsing, PerFileMinimumsKeepTheLastAsTheTestedOne) {
  Parsed p({"-f", "a.txt", "-ms", "3", "-f", "b.txt", "-ms", "2"});
  EXPECT_STREQ(p.params.input_files[1], "a.txt");
  EXPECT_STREQ(p.params.input_files[2], "b.txt");
  EXPECT_EQ(p.params.input_files[3], nullptr);
  EXPECT_EQ(minclass, 2);
  EXPECT_EQ(minstringsinclass, 2);
  EXPECT_EQ(min_strings_in_classes[1], 3);
  EXPECT_EQ(min_strings_in_classes[2], 2);
  validate_settings(p.params);
  EXPECT_EQ(minstrings, 2);
  EXPECT_EQ(minpos, 2);
}

TEST(OptionParsing, ClassCharacterIsACharacterCode) {
  Parsed p({"-f", "a.txt", "-minstringsinclass", "2", "5"});
  EXPECT_EQ(minclass, '2');
  EXPECT_EQ(min_strings_in_classes[static_cast<int>('2')], 5);
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

TEST(OptionValidation, ClampsApplyInOrderAndSeeEarlierFixes) {
  Parsed p({"-f", "a.txt", "-f", "b.txt", "-wc", "250", "-minwc", "3", "-maxwc", "2",
            "-min_gap", "5", "-max_gap", "-1", "-no_gap_len", "0"});
  testing::internal::CaptureStderr();
  validate_settings(p.params);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Reduced the nr. of wc\nReplace shortest and longest run walues\n");
  EXPECT_EQ(nr_wc_allowed, 100);
  EXPECT_EQ(shortest_wc_run, 2);
  EXPECT_EQ(longest_wc_run, 3);
  // max_gap is raised to 0 first, then the two are swapped.
  EXPECT_EQ(min_gap, 0);
  EXPECT_EQ(max_gap, 5);
  EXPECT_EQ(no_gap_len, 1);
}

TEST(OptionValidation, OneInputFileTurnsTheClassComparisonsOff) {
  Parsed p({"-f", "a.txt", "-binomial_prob", "0.01", "-showratio", "1", "-goodratio", "2"});
  testing::internal::CaptureStdout();
  validate_settings(p.params);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(binomial_prob, 0.0);
  EXPECT_EQ(showratio, 0);
  EXPECT_EQ(goodratio, 0.0f);
}

TEST(OptionValidation, MaximaBelowMinimaAreFatal) {
  Parsed p({"-f", "a.txt", "-maxpos", "3", "-minstrings", "5"});
  EXPECT_EXIT(validate_settings(p.params), testing::ExitedWithCode(1),
              "Maximum number of positions is less than minimum nr of positions\n");
}

}  // namespace
