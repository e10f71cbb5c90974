// The class table, reading of sequence files, and the joined coded string.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ends_run.h"
#include "input/input_classes.h"
#include "input/input_string.h"
#include "input_test_files.h"
#include "run/globals.h"

namespace {

using ::testing::ExitedWithCode;
using namespace std::string_literals;

TEST(InputClasses, NamesNumberedInOrderOfFirstAppearanceUpTo254) {
  reset_settings();
  input_classes c;
  EXPECT_EQ(1, c.add_class_name("a"));
  EXPECT_EQ(2, c.add_class_name("A"));
  EXPECT_EQ(1, c.add_class_name("a"));
  ::testing::internal::CaptureStdout();
  c.nr_classes = c.countclasses();
  ::testing::internal::GetCapturedStdout();
  EXPECT_STREQ("No_class", c.class_name(0));
  EXPECT_STREQ("TOTAL", c.class_name(3));
  EXPECT_STREQ("T", c.class_name_short(3));
  for (int i = 3; i <= 254; ++i) ASSERT_EQ(i, c.add_class_name(("c" + std::to_string(i)).c_str()));
  EXPECT_EQ(254, c.add_class_name("c254"));
  EXPECT_EXIT(as_process([&] { c.add_class_name("one_more"); }), ExitedWithCode(1),
              "^The added classname one_more exceeds the number of allowed classes: 254\n"
              "Check the input files\n$");
}

class InputStringTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_settings(); }

  // Builds the input from files with the given contents, output captured;
  // the character set is generated into `charset_name` unless it exists.
  std::unique_ptr<input_string> build(const std::vector<std::string>& contents,
                                      const std::string& charset_name = "gen.charclass") {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < contents.size(); ++i)
      names.push_back(dir.write("in" + std::to_string(i + 1) + ".txt", contents[i]));
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    auto in = make(names, charset_name);
    ::testing::internal::GetCapturedStderr();
    out = ::testing::internal::GetCapturedStdout();
    return in;
  }

  // Without capturing, for the death tests, which read standard error.
  std::unique_ptr<input_string> make(std::vector<std::string> names, const std::string& charset_name) {
    std::vector<char*> files{nullptr};
    for (auto& n : names) files.push_back(&n[0]);
    files.push_back(nullptr);
    const std::string cf = dir.file(charset_name);
    return std::make_unique<input_string>(files.data(), cf.c_str(), 0);
  }

  ScratchDir dir;
  std::string out;
};

TEST_F(InputStringTest, LineKindsCrLfAndLastLineWithoutNewline) {
  auto in = build({"# comment\n>header\n  spaced\n\nAC\tclassA extra words\n\tX\r\nGG\r\n\r\nTT"});
  // AC (classA), GG, TT; the tab line and the CR line hold no sequence and
  // add neither a sequence nor a class.
  EXPECT_EQ(3, in->nr_sequences);
  EXPECT_EQ(10, in->length);
  EXPECT_EQ((std::vector<int>{0, 3, 6, 9}), in->seq_end);
  EXPECT_EQ((std::vector<unsigned char>{0, 1, 2, 2, 0}), in->class_of_seq);
  EXPECT_STREQ("1", in->classes->class_name(2));
  EXPECT_EQ((std::vector<std::string>{"", "5", "7", "9"}), ids_of(*in));
  EXPECT_EQ("ACGT", in->charset->alphabet);
}

TEST_F(InputStringTest, SequenceEndsAtTheFirstWhiteSpace) {
  // Every kind of white space after words of every length (the scan goes
  // eight bytes at a time); control and high bytes are sequence characters.
  const std::string spaces = " \t\v\f\r";
  std::string text;
  for (int k = 1; k <= 20; ++k) {
    std::string seq(static_cast<std::size_t>(k), 'A');
    if (k > 9) seq[3] = '\x01';
    if (k > 12) seq[10] = '\xe9';
    text += seq + spaces[k % spaces.size()] + "c\n";
  }
  auto in = build({text});
  ASSERT_EQ(20, in->nr_sequences);
  for (int k = 1; k <= 20; ++k) EXPECT_EQ(k, in->seq_end[k] - in->seq_end[k - 1] - 1) << k;
  EXPECT_EQ("\x01""A\xe9", in->charset->alphabet);
}

// While reading, the newest class must not be taken for the TOTAL slot.
TEST_F(InputStringTest, ProgressLinesNameTheClass) {
  verbose_level = 4;
  build({"AG pos\nTT\n"});
  EXPECT_NE(std::string::npos, out.find("EX:\t0\tAG\nCL: pos\n"));
  EXPECT_NE(std::string::npos, out.find("EX:\t1\tTT\nCL: 1\n"));
}

TEST_F(InputStringTest, LineAndSequenceLimits) {
  auto in = build({"AC\n" + std::string(2999999, 'A') + "\n"});
  EXPECT_EQ(1 + 3 + 3000000, in->length);
  const std::string name = dir.write("long.txt", "AC\n" + std::string(3000000, 'A'));
  EXPECT_EXIT(as_process([&] { make({name}, "x.charclass"); }), ExitedWithCode(1),
              "Input file .*/long.txthas too long input line 2\n"
              "example-file has too long input line  2\n$");

  // No count of sequences is refused; the joined length alone is bounded,
  // with a message that names the limit and the size the input would reach.
  std::string many;
  for (int i = 0; i < 70000; ++i) many += "A\n";
  EXPECT_EQ(70000, build({many})->nr_sequences);
  SequenceTable table;
  table.strands = 2;
  table.max_length = 20;
  table.add("ACG", 3, 1);  // 1 + 2 x 4 positions
  table.add_strand("CGT", 3);
  EXPECT_EXIT(as_process([&] { table.add("ACGTA", 5, 1); }), ExitedWithCode(1),
              "^morva: error: the input is too large: with sequence 2 it would take at least 21 "
              "positions, and 32-bit positions hold at most 20 .*\n$");
}

TEST_F(InputStringTest, UnreadableOrBrokenInput) {
  EXPECT_EXIT(as_process([&] { make({dir.file("nofile")}, "z.charclass"); }), ExitedWithCode(1),
              "Can't open input file  .*/nofile\n$");
  const std::string zero = dir.write("zero.txt", "AC\nA\0C\n"s);
  EXPECT_EXIT(as_process([&] { make({zero}, "z.charclass"); }), ExitedWithCode(1),
              "Input file .*/zero.txt has a zero byte in line 2\n$");
  char* none[] = {nullptr, nullptr};
  EXPECT_EXIT(as_process([&] { std::make_unique<input_string>(none, nullptr, 0); }), ExitedWithCode(1),
              "^No input files\\?\n\n$");
}

}  // namespace
