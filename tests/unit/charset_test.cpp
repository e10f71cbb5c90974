// Character-set file reading, code tables, coding and printing of codes,
// and generation of the default file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "alphabet/charset.h"
#include "alphabet/tokens.h"
#include "input_test_files.h"
#include "run/globals.h"

namespace {

using ::testing::ExitedWithCode;
using namespace std::string_literals;

std::vector<std::string> token_list(const std::string& line) {
  std::vector<char> buf(line.begin(), line.end());
  buf.resize(line.size() + 2, '\0');
  std::vector<std::string> out;
  for (const char* t = tokens(buf.data()); *t; t = next_token(t)) out.emplace_back(t);
  return out;
}

void read_set(const std::string& name) { std::make_unique<CHARSET>(name.c_str()); }

std::vector<int> row(const unsigned char (&r)[256]) {
  return std::vector<int>(r + 1, r + 1 + r[0]);
}

class CharsetTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_settings(); }

  // Reads a character-set file made of `text`, with its reports captured.
  std::unique_ptr<CHARSET> load(const std::string& text) {
    const std::string name = dir.write("set.charclass", text);
    ::testing::internal::CaptureStdout();
    auto cs = std::make_unique<CHARSET>(name.c_str());
    out = ::testing::internal::GetCapturedStdout();
    return cs;
  }

  ScratchDir dir;
  std::string out;
};

const char kAdgt[] =
    "alphabet= ADGT\n"
    "p= A 0.25\np= D 0.25\np= G 0.25\np= T 0.25\n"
    "g= AG purine\n"
    "g= AGT\n";

TEST(Tokens, CommentsBlanksAndHashInsideTokens) {
  EXPECT_EQ(token_list("alphabet= AB # a comment"), (std::vector<std::string>{"alphabet=", "AB"}));
  EXPECT_EQ(token_list("alphabet= A#B"), (std::vector<std::string>{"alphabet=", "A#B"}));
  EXPECT_EQ(token_list("\t g=  ILE\thydro \r"), (std::vector<std::string>{"g=", "ILE", "hydro"}));
  EXPECT_TRUE(token_list("   # only a comment").empty());
  EXPECT_TRUE(token_list("").empty());
  // A last token that ends the line gets its zero and the list end after it.
  char line[] = {'a', ' ', 'b', '\0', 'x'};
  tokens(line);
  EXPECT_EQ(0, std::memcmp(line, "a\0b\0\0", 5));
}

TEST_F(CharsetTest, CodesMembersAndSupersetsOfAdgt) {
  auto cs = load(kAdgt);
  EXPECT_EQ(4, cs->alphabet_size);
  EXPECT_EQ(2, cs->nr_groups);
  EXPECT_EQ(6, cs->total_codes);
  EXPECT_EQ(0, cs->wildcard_code);
  EXPECT_EQ(1, cs->char_to_code['A']);
  EXPECT_EQ(2, cs->char_to_code['D']);
  EXPECT_EQ('T', cs->code_to_char[4]);
  EXPECT_EQ("purine", cs->group_names[0]);
  EXPECT_EQ("[AGT]", cs->group_names[1]);
  EXPECT_EQ(std::string("\1\2\3\4"), cs->coded_alphabet);
  EXPECT_EQ(std::string("\1\3"), cs->group_codes[0]);

  EXPECT_EQ((std::vector<int>{5, 6}), row(cs->members[1]));
  EXPECT_TRUE(row(cs->members[2]).empty());
  EXPECT_EQ((std::vector<int>{6}), row(cs->members[4]));
  EXPECT_EQ((std::vector<int>{1, 3}), row(cs->members[5]));
  EXPECT_EQ((std::vector<int>{1, 3, 4}), row(cs->members[6]));
  EXPECT_TRUE(row(cs->members[0]).empty());
  EXPECT_EQ((std::vector<int>{5, 6}), row(cs->supersets[1]));
  EXPECT_EQ((std::vector<int>{6}), row(cs->supersets[5]));
  EXPECT_TRUE(row(cs->supersets[6]).empty());

  // Costs: -log2(p) per character; a group pays log2(nr_groups + 1) less.
  EXPECT_FLOAT_EQ(-1.0f, cs->cost[0]);
  EXPECT_FLOAT_EQ(2.0f, cs->cost[1]);
  EXPECT_NEAR(1.0 - std::log2(3.0), cs->cost[5], 1e-6);
  EXPECT_NEAR(-std::log2(0.75) - std::log2(3.0), cs->cost[6], 1e-6);
  EXPECT_EQ(
      "# Char-pos 0 = -1\n# Char-pos 1 = 2\n# Char-pos 2 = 2\n# Char-pos 3 = 2\n# Char-pos 4 = 2\n"
      "# Gap-Char-pos 5 = -0.584962\n# Gap-Char-pos 6 = -1.16992\n",
      out);
}

TEST_F(CharsetTest, GroupCostsWildcardsAndEqualGroups) {
  auto one = load("alphabet= ADGT\np= A 0.25\np= D 0.25\np= G 0.25\np= T 0.25\ng= AG\n");
  EXPECT_FLOAT_EQ(0.0f, one->cost[5]);  // -log2(0.5) - log2(2)

  // The last group holding every character is the wildcard; groups with
  // the same members are supersets of each other, an empty group is a
  // subset of all.
  auto cs = load("alphabet= ADGT\ng= TGDA all\ng= AT\ng= ADGT any\ng= TA\ng=\n");
  EXPECT_EQ(7, cs->wildcard_code);
  EXPECT_EQ((std::vector<int>{7}), row(cs->supersets[5]));
  EXPECT_EQ((std::vector<int>{5, 7, 8}), row(cs->supersets[6]));
  EXPECT_EQ((std::vector<int>{5, 6, 7, 8}), row(cs->supersets[9]));
  EXPECT_EQ("[]", cs->group_names[4]);
  EXPECT_FLOAT_EQ(-2.0f, cs->cost[5]);  // no probabilities at all
}

TEST_F(CharsetTest, AutomaticDotGroupLeavesOutStopCharacters) {
  nr_wc_allowed = 1;
  auto plain = load("alphabet= ACGT\n");
  EXPECT_EQ(5, plain->total_codes);
  EXPECT_EQ(".", plain->group_names[0]);
  EXPECT_EQ(5, plain->wildcard_code);

  auto stop = load("alphabet= AC%T\nSTOP= %%\n");
  EXPECT_EQ("ACT", stop->group_members[0]);
  EXPECT_EQ(1, stop->stop_flag[3]);
  EXPECT_EQ(0, stop->wildcard_code);
}

TEST_F(CharsetTest, FatalFaultsOfTheFile) {
  const std::string long_line = "# " + std::string(9997, 'x') + "\n";
  EXPECT_EQ(9999u, long_line.size() - 1);
  auto ok = load(long_line + "alphabet= AC\n");
  EXPECT_EQ(2, ok->alphabet_size);

  const std::vector<std::pair<std::string, std::string>> cases = {
      {"alphabet=ACGT\n", "Config file doesn't have alphabet line at all!\n\n"},
      {"", "Config file doesn't have alphabet line at all!\n\n"},
      {"alphabet=   # nothing\n", "^Error: alphabet is missing from alphabet line...\n$"},
      {"alphabet= ACGA\n", "^Repeated character 65\n$"},
      {"alphabet= AC\ng= AX\n",
       "Error: character 88 not defined in input alphabet: AC\nUnrecognized characters in class AX\n$"},
      {"alphabet= ACG\ng= AGA\n", "^Repeated character in class 4\n$"},
      {"alphabet= AC\ng= A\0C\n"s, "zero byte in line 2"},
  };
  for (const auto& c : cases) {
    const std::string name = dir.write("bad.charclass", c.first);
    EXPECT_EXIT(read_set(name), ExitedWithCode(1), c.second) << c.first;
  }
  const std::string too_long = dir.write("long.charclass", "alphabet= AC\n#" + std::string(9999, 'x') + "\n");
  EXPECT_EXIT(read_set(too_long), ExitedWithCode(1), "^Character-file has too long line\n$");
  EXPECT_EXIT(read_set(dir.file("missing")), ExitedWithCode(1),
              "^Can't open the configuration file .*/missing\n$");
}

TEST_F(CharsetTest, RefusesMoreThan127Codes) {
  std::string alphabet;
  for (int c = 0x21; alphabet.size() < 127; ++c)
    if (c != '#') alphabet.push_back(static_cast<char>(c));
  auto full = load("alphabet= " + alphabet + "\n");
  EXPECT_EQ(127, full->total_codes);

  const std::string one_group = dir.write("g.charclass", "alphabet= " + alphabet + "\ng= AB\n");
  EXPECT_EXIT(read_set(one_group), ExitedWithCode(1), "more than 127 codes");
  nr_wc_allowed = 1;  // the automatic "." group counts too
  const std::string dot = dir.write("d.charclass", "alphabet= " + alphabet + "\n");
  EXPECT_EXIT(read_set(dot), ExitedWithCode(1), "more than 127 codes");
  nr_wc_allowed = 0;
  std::string wide;
  for (int c = 0x80; c < 0x100; ++c) wide.push_back(static_cast<char>(c));
  const std::string big = dir.write("b.charclass", "alphabet= " + wide + "\n");
  EXPECT_EXIT(read_set(big), ExitedWithCode(1), "more than 127 codes");
}

TEST_F(CharsetTest, MapstringCodesAndReportsOtherBytes) {
  auto cs = load(kAdgt);
  char text[] = "GAXT?";
  ::testing::internal::CaptureStderr();
  EXPECT_NE(0, cs->mapstring(text));
  EXPECT_EQ(
      "Error: character 88 not defined in input alphabet: ADGT\n"
      "Error: character 63 not defined in input alphabet: ADGT\n",
      ::testing::internal::GetCapturedStderr());
  EXPECT_EQ(0, std::memcmp(text, "\3\1X\4?", 5));

  char joined[] = {0, 'A', 'D', 0, '\xe9', 'T', 0};
  ::testing::internal::CaptureStderr();
  EXPECT_NE(0, cs->mapstring(joined, 7));
  EXPECT_EQ(
      "Error: character (at internal position 4) 233 '\xe9' not defined in input alphabet:: ADGT\n",
      ::testing::internal::GetCapturedStderr());
  EXPECT_EQ(0, std::memcmp(joined, "\0\1\2\0\xe9\4\0", 7));

  char clean[] = {0, 'T', 'T', 0};
  EXPECT_EQ(0, cs->mapstring(clean, 4));
}

TEST_F(CharsetTest, PrintsCodesGroupsAndGaps) {
  auto cs = load(kAdgt);
  const char coded[] = {1, 5, 0, 6, 4, 0};
  ::testing::internal::CaptureStdout();
  cs->print(static_cast<char>(0));
  cs->print("");
  cs->print(coded);
  cs->print(coded, 6);
  EXPECT_EQ("_<empty>ApurineApurine_[AGT]T_", ::testing::internal::GetCapturedStdout());

  max_gap_nr = 1;
  min_gap = 0;
  max_gap = 2;
  ::testing::internal::CaptureStdout();
  cs->print(static_cast<char>(129));
  cs->print(static_cast<char>(128 + 5));
  EXPECT_EQ(".{0,2}A.{0,2}purine", ::testing::internal::GetCapturedStdout());
  EXPECT_EXIT(cs->print(static_cast<char>(128 + 7)), ExitedWithCode(1),
              "Was supposed to be a flexible wildcard... but was not\n\n$");
  max_gap_nr = 0;
  EXPECT_EXIT(cs->print(static_cast<char>(7)), ExitedWithCode(1),
              "^ERROR: \\[unknown\\] \a\nDon't want to use modified data: update char set file "
              "instead\n\n$");
}

class CharsetWriterTest : public CharsetTest {};

TEST_F(CharsetWriterTest, GeneratedFileForAgttReadsBack) {
  const unsigned char joined[] = {0, 'A', 'G', 'T', 'T', 0};
  const std::string name = dir.file("default.charclass");
  ::testing::internal::CaptureStdout();
  write_charset_file(name.c_str(), count_bytes(joined, 6), 6);
  EXPECT_EQ("# Open " + name + "\n\n", ::testing::internal::GetCapturedStdout());
  EXPECT_EQ(
      "# Default character class file for data\n\nalphabet= AGT\n\n"
      "# Character probabilities based on occurrence frequency\n"
      "p= _ 0.333333\np= A 0.166667\np= G 0.166667\np= T 0.333333\n# TOTAL: 1\n"
      "\n\n# STOP character list\n# List of STOP characters (members of alphabet)\n"
      "# STOP= %?!  # Patterns do not cross over these stop characters\n\n"
      "# Character groups\n# g= ILE [hydro_fob]\n"
      "# g= AT              # If no group name, then [AT] will be used automatically\n# \n",
      read_file(name));
  struct stat st;
  ASSERT_EQ(0, stat(name.c_str(), &st));
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(0664 & ~mask, st.st_mode & 0777);

  auto cs = load(read_file(name));
  EXPECT_EQ("AGT", cs->alphabet);
  EXPECT_FLOAT_EQ(static_cast<float>(-std::log2(static_cast<double>(0.333333f))), cs->cost[0]);
  EXPECT_FLOAT_EQ(cs->cost[0], cs->cost[3]);
  EXPECT_FLOAT_EQ(static_cast<float>(-std::log2(static_cast<double>(0.166667f))), cs->cost[1]);
}

TEST_F(CharsetWriterTest, UnwritableTargetLeavesNothingBehind) {
  const std::string name = dir.file("no_such_dir/set.charclass");
  const unsigned char joined[] = {0, 'A', 0};
  EXPECT_EXIT(write_charset_file(name.c_str(), count_bytes(joined, 3), 3), ExitedWithCode(1),
              "^Couldn't open file .*/no_such_dir/set.charclass\n$");
  // A directory in the way of the rename: the temporary file is removed.
  const std::string taken = dir.file("taken");
  ASSERT_EQ(0, mkdir(taken.c_str(), 0755));
  EXPECT_EXIT(write_charset_file(taken.c_str(), count_bytes(joined, 3), 3), ExitedWithCode(1),
              "Couldn't open file");
  EXPECT_EQ(0, std::system(("test $(ls '" + dir.path() + "' | wc -l) -eq 1").c_str()));
}

}  // namespace
