// The rows of the option table set themselves: each row's reader must take
// exactly as many words as it says, store without a warning the value it
// offers as an example, and the early readers of the command line must walk
// the words as the parse does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ends_run.h"
#include "results/result_sink.h"
#include "run/globals.h"
#include "run/option_table.h"
#include "run/options.h"

namespace {

// Parses `words` (program name added) into fresh settings; says whether
// the early readers see the -onestr among them.
bool parse(std::vector<std::string> words) {
  words.insert(words.begin(), "morva");
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  const int argc = static_cast<int>(argv.size());
  set_default_settings();
  RunParams params;
  parse_options(argc, argv.data(), params);
  return early_option_flag(argc, argv.data(), "-onestr");
}

// The same, returning what went to standard error.
std::string parse_quietly(const std::vector<std::string>& words, bool& marker_seen_early) {
  testing::internal::CaptureStderr();
  marker_seen_early = parse(words);
  return testing::internal::GetCapturedStderr();
}

TEST(OptionRows, EveryRowReadsItsOwnExampleAndNothingMore) {
  RunParams unused;
  const std::vector<OptionRow> rows = option_table(unused);
  ASSERT_EQ(rows.size(), option_help_rows().size());
  for (const OptionRow& row : rows) {
    if (row.use == OptionUse::Usage) continue;  // ends the run
    // -onestr after the values: a reader taking one word too few leaves a
    // value to be refused as an option, one too many swallows the marker.
    std::vector<std::string> words{row.word};
    ASSERT_EQ(row.reader.example.size(), static_cast<std::size_t>(row.reader.arity)) << row.word;
    words.insert(words.end(), row.reader.example.begin(), row.reader.example.end());
    if (row.then_word != nullptr) {
      words.push_back(row.then_word);
      words.insert(words.end(), row.then.example.begin(), row.then.example.end());
    }
    words.push_back("-onestr");
    bool seen_early = false;
    EXPECT_EQ(parse_quietly(words, seen_early), "") << row.word;
    EXPECT_EQ(onestr, 1) << row.word << " took the word after its values";
    EXPECT_TRUE(seen_early) << row.word << ": the early readers walk its values otherwise than the parse";
  }
}

// The table's wiring: each generic reader stores into the setting of its own row.
TEST(OptionRows, RowsStoreIntoTheirOwnSettings) {
  std::vector<std::string> words{"morva", "-f", "a.txt", "-ms", "3", "-flush", "block", "-top", "12",
                                 "-threads", "3", "-flank", "4", "-wy", "100000", "-seed", "18446744073709551615",
                                 "-fdr", "0.25", "-alternative", "two-sided", "-revcomp", "-goodratio", "1e300",
                                 "-cf", "set.cf", "-table", "-"};
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  const int argc = static_cast<int>(argv.size());
  set_default_settings();
  RunParams params;
  parse_options(argc, argv.data(), params);
  EXPECT_EQ(min_strings_in_classes[1], 3);
  EXPECT_EQ(params.flush, FlushMode::Block);
  EXPECT_EQ(params.results.top, 12);
  EXPECT_EQ(params.threads, 3);
  EXPECT_EQ(params.results.flank, 4);
  EXPECT_EQ(params.results.significance.permutations, 100000);
  EXPECT_EQ(params.results.significance.seed, 18446744073709551615ULL);
  EXPECT_DOUBLE_EQ(params.results.significance.fdr, 0.25);
  EXPECT_EQ(params.results.significance.fwer, 0.0);
  EXPECT_EQ(params.results.significance.alternative, Alternative::TwoSided);
  EXPECT_TRUE(params.input.revcomp);
  EXPECT_FALSE(params.input.dedup);
  // A float setting keeps within float's range.
  EXPECT_FLOAT_EQ(goodratio, 3.40282347e38f);
  EXPECT_STREQ(params.charset_file_name, "set.cf");
  EXPECT_STREQ(params.results.files[static_cast<std::size_t>(sink_index("-table"))], "-");
  EXPECT_TRUE(output_goes_to_stdout(argc, argv.data()));
  EXPECT_STREQ(early_option_value(argc, argv.data(), "-flush"), "block");
}

// A negative seed is refused however it is written, not wrapped to a huge one.
TEST(OptionRowsDeathTest, NegativeSeedAfterBlanksIsRefused) {
  bool seen = false;
  EXPECT_EXIT(as_process([&] { parse({"-seed", " -5"}); }), testing::ExitedWithCode(1),
              "-seed takes a whole number from 0 to 18446744073709551615, not \" -5\"");
  EXPECT_EQ(parse_quietly({"-seed", " 5", "-onestr"}, seen), "");
}

}  // namespace
