// The class table, reading of sequence files, and the joined coded string.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "input/input_classes.h"
#include "input/input_string.h"
#include "input_test_files.h"
#include "run/globals.h"

namespace {

using ::testing::ExitedWithCode;
using namespace std::string_literals;

TEST(InputClasses, NumbersNamesInOrderOfFirstAppearance) {
  reset_settings();
  input_classes c;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(1, c.add_class_name("a"));
  EXPECT_EQ(2, c.add_class_name("A"));
  EXPECT_EQ(1, c.add_class_name("a"));
  EXPECT_EQ(3, c.add_class_name("TOTAL"));
  c.nr_classes = c.countclasses();
  EXPECT_EQ("# Total: 3 differenmt example-sets\n", ::testing::internal::GetCapturedStdout());
  EXPECT_EQ(3, c.nr_classes);
  EXPECT_STREQ("No_class", c.class_name(0));
  EXPECT_STREQ("0", c.class_name_short(0));
  EXPECT_STREQ("TOTAL", c.class_name(3));
  EXPECT_STREQ("TOTAL", c.class_name(4));
  EXPECT_STREQ("T", c.class_name_short(4));
  EXPECT_STREQ("A", c.class_name_short(2));
}

TEST(InputClasses, The255thNameEndsTheRun) {
  reset_settings();
  input_classes c;
  for (int i = 1; i <= 254; ++i) ASSERT_EQ(i, c.add_class_name(("c" + std::to_string(i)).c_str()));
  EXPECT_EQ(254, c.add_class_name("c254"));
  EXPECT_EXIT(c.add_class_name("one_more"), ExitedWithCode(1),
              "^The added classname one_more exceeds the number of allowed classes: 254\n"
              "Check the input files\n$");
}

class InputStringTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_settings(); }

  // Builds the input from files with the given contents; the character set
  // goes to `charset_name` in the scratch directory. Output is captured.
  std::unique_ptr<input_string> build(const std::vector<std::string>& contents,
                                      const std::string& charset_name = "gen.charclass",
                                      int cfonly = 0) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < contents.size(); ++i)
      names.push_back(dir.write("in" + std::to_string(i + 1) + ".txt", contents[i]));
    return build_from(names, charset_name, cfonly);
  }

  std::unique_ptr<input_string> build_from(const std::vector<std::string>& names,
                                           const std::string& charset_name, int cfonly = 0) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    auto in = make(names, charset_name, cfonly);
    err = ::testing::internal::GetCapturedStderr();
    out = ::testing::internal::GetCapturedStdout();
    return in;
  }

  // Without capturing, for the death tests, which read standard error.
  std::unique_ptr<input_string> make(std::vector<std::string> names, const std::string& charset_name,
                                     int cfonly = 0) {
    std::vector<char*> files{nullptr};
    for (auto& n : names) files.push_back(&n[0]);
    files.push_back(nullptr);
    const std::string cf = dir.file(charset_name);
    return std::make_unique<input_string>(files.data(), cf.c_str(), cfonly);
  }

  ScratchDir dir;
  std::string out, err;
};

TEST_F(InputStringTest, ThreeSequencesOfTwoFilesAndTwoClasses) {
  auto in = build({"AGT\nTT\n", "GA x\n"});
  EXPECT_EQ(3, in->nr_sequences);
  EXPECT_EQ(11, in->length);
  EXPECT_EQ(2, in->classes->nr_classes);
  EXPECT_STREQ("1", in->classes->class_name(1));
  EXPECT_STREQ("x", in->classes->class_name(2));
  EXPECT_EQ((std::vector<int>{0, 1, 1, 1, 1, 2, 2, 2, 3, 3, 3, 0, 0}), in->seq_of_pos);
  EXPECT_EQ((std::vector<int>{0, 4, 7, 10}), in->seq_end);
  EXPECT_EQ((std::vector<unsigned char>{0, 1, 1, 2, 0}), in->class_of_seq);
  // Generated alphabet AGT: A = 1, G = 2, T = 3.
  EXPECT_EQ((std::vector<unsigned char>{0, 1, 2, 3, 0, 3, 3, 0, 2, 1, 0, 0, 0}), in->joined);
  EXPECT_EQ(in->joined.data(), in->coded);
  EXPECT_EQ("AGT", in->charset->alphabet);
  EXPECT_TRUE(file_exists(dir.file("gen.charclass")));
  EXPECT_EQ(
      "YESS: reached input_string::read_examples( char** filename_array ) \n"
      "# Read in total 3 examples belonging to 2 target classes\n",
      err);
}

TEST_F(InputStringTest, TestReportOfThreeSequences) {
  // The tab line gives an empty sequence of the class "empty".
  auto in = build({"AGT\nTT\n", "GA x\n\tempty\n"});
  verbose_level = 2;
  ::testing::internal::CaptureStdout();
  in->test();
  EXPECT_EQ(
      "\n# The input data test:\n#\n4 strings, total length 12\n"
      "\n\nPubstrings:\nAGT\t4\nTT\t7\nGA\t10\n<empty>\t11\n"
      "Full catenated string, which example, and example class:\n"
      "_AGT_TT_GA__\n011112223334\n01111111xxxempty"
      "\n\nFull public (mapped) string:\n_AGT_TT_GA__\n# End_of_input_test\n\n",
      ::testing::internal::GetCapturedStdout());
}

// While reading, the newest class must not be taken for the TOTAL slot.
TEST_F(InputStringTest, ProgressLinesNameTheClass) {
  verbose_level = 4;
  build({"AG pos\nTT\n"});
  EXPECT_NE(std::string::npos, out.find("EX:\t0\tAG\nCL: pos\n"));
  EXPECT_NE(std::string::npos, out.find("EX:\t1\tTT\nCL: 1\n"));
}

TEST_F(InputStringTest, LineKindsCrLfAndLastLineWithoutNewline) {
  auto in = build({"# comment\n>header\n  spaced\n\nAC\tclassA extra words\n\tX\r\nGG\r\n\r\nTT"});
  // AC (classA), "" (class X: the tab line), GG, "" (the CR line), TT.
  EXPECT_EQ(5, in->nr_sequences);
  EXPECT_EQ(12, in->length);
  EXPECT_EQ((std::vector<int>{0, 3, 4, 7, 8, 11}), in->seq_end);
  EXPECT_EQ((std::vector<unsigned char>{0, 1, 2, 3, 3, 3, 0}), in->class_of_seq);
  EXPECT_STREQ("X", in->classes->class_name(2));
  EXPECT_STREQ("1", in->classes->class_name(3));
  EXPECT_EQ("ACGT", in->charset->alphabet);
}

TEST_F(InputStringTest, SequenceEndsAtTheFirstWhiteSpace) {
  // Every kind of white space at every offset of a word; control and high
  // bytes are sequence characters.
  const std::string spaces = " \t\v\f\r";
  std::string text;
  std::vector<int> lengths;
  for (int k = 1; k <= 20; ++k) {
    std::string seq(static_cast<std::size_t>(k), 'A');
    if (k > 9) seq[3] = '\x01';
    if (k > 12) seq[10] = '\xe9';
    text += seq + spaces[k % spaces.size()] + "c" + std::to_string(k % 3) + "\n";
    lengths.push_back(k);
  }
  auto in = build({text});
  ASSERT_EQ(20, in->nr_sequences);
  for (int k = 1; k <= 20; ++k) EXPECT_EQ(k, in->seq_end[k] - in->seq_end[k - 1] - 1) << k;
  EXPECT_EQ(3, in->classes->nr_classes);
  EXPECT_EQ("\x01""A\xe9", in->charset->alphabet);
}

TEST_F(InputStringTest, ClassNamesAcrossFiles) {
  auto in = build({"A x\n", "C\n", "G x\nT\n"});
  EXPECT_EQ((std::vector<unsigned char>{0, 1, 2, 1, 3, 0}), in->class_of_seq);
  EXPECT_STREQ("2", in->classes->class_name(2));
  EXPECT_STREQ("3", in->classes->class_name(3));
}

TEST_F(InputStringTest, LineLengthLimit) {
  auto in = build({"AC\n" + std::string(2999999, 'A') + "\n"});
  EXPECT_EQ(2, in->nr_sequences);
  EXPECT_EQ(1 + 3 + 3000000, in->length);

  const std::string name = dir.write("long.txt", "AC\n" + std::string(3000000, 'A'));
  EXPECT_EXIT(make({name}, "x.charclass"), ExitedWithCode(1),
              "Input file .*/long.txthas too long input line 2\n"
              "example-file has too long input line 2\n$");
}

TEST_F(InputStringTest, SequenceLimit) {
  std::string many;
  for (int i = 0; i < 65535; ++i) many += "A\n";
  auto in = build({many});
  EXPECT_EQ(65535, in->nr_sequences);
  EXPECT_EQ(65535, in->seq_of_pos[in->length - 1]);

  const std::string name = dir.write("toomany.txt", many + "C\nG\n");
  EXPECT_EXIT(make({name}, "y.charclass"), ExitedWithCode(1),
              "ERROR: Number of input sequences 65536 is exceeding the maximum limit 65535\nAbort\n$");
}

TEST_F(InputStringTest, UnreadableOrBrokenInput) {
  EXPECT_EXIT(make({dir.file("nofile")}, "z.charclass"), ExitedWithCode(1),
              "Can't open input file .*/nofile\n$");
  const std::string zero = dir.write("zero.txt", "AC\nA\0C\n"s);
  EXPECT_EXIT(make({zero}, "z.charclass"), ExitedWithCode(1),
              "Input file .*/zero.txt has a zero byte in line 2\n$");
  char* none[] = {nullptr, nullptr};
  EXPECT_EXIT(std::make_unique<input_string>(none, nullptr, 0), ExitedWithCode(1), "^No input files\\?\n\n$");
}

TEST_F(InputStringTest, GivenCharacterSetIsReadNotOverwritten) {
  const std::string set = "alphabet= TGA\ng= AG\n";
  dir.write("given.charclass", set);
  auto in = build({"AGT\n"}, "given.charclass");
  EXPECT_EQ("TGA", in->charset->alphabet);
  EXPECT_EQ((std::vector<unsigned char>{0, 3, 2, 1, 0, 0, 0}), in->joined);
  EXPECT_EQ(set, read_file(dir.file("given.charclass")));

  // With -cfonly the named file is replaced by a generated one.
  auto gen = build({"AGT\n"}, "given.charclass", 1);
  EXPECT_EQ("AGT", gen->charset->alphabet);
  EXPECT_NE(set, read_file(dir.file("given.charclass")));
}

}  // namespace
