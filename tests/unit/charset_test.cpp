// Character-set files: faults, the code limit, printing of codes, and the
// generated default file.  Tables and costs show in the golden -v reports.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ends_run.h"
#include "alphabet/charset.h"
#include "alphabet/tokens.h"
#include "input_test_files.h"
#include "run/globals.h"

namespace {

using ::testing::ExitedWithCode;
using namespace std::string_literals;

void read_set(const std::string& name) { std::make_unique<CHARSET>(name.c_str()); }

class CharsetTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_settings(); }

  std::unique_ptr<CHARSET> load(const std::string& text) {
    const std::string name = dir.write("set.charclass", text);
    ::testing::internal::CaptureStdout();
    auto cs = std::make_unique<CHARSET>(name.c_str());
    ::testing::internal::GetCapturedStdout();
    return cs;
  }

  ScratchDir dir;
};

std::vector<int> row(const unsigned char (&r)[256]) { return std::vector<int>(r + 1, r + 1 + r[0]); }

// The search looks groups and members up in these rows by direct indexing.
TEST_F(CharsetTest, MembersAndSupersetsOfAdgt) {
  auto cs = load("alphabet= ADGT\np= A 0.25\np= D 0.25\np= G 0.25\np= T 0.25\n"
                 "g= AG purine\ng= AGT\n");
  EXPECT_EQ(6, cs->total_codes);
  EXPECT_EQ(0, cs->wildcard_code);
  EXPECT_EQ((std::vector<int>{5, 6}), row(cs->members[1]));
  EXPECT_TRUE(row(cs->members[2]).empty());
  EXPECT_EQ((std::vector<int>{6}), row(cs->members[4]));
  EXPECT_EQ((std::vector<int>{1, 3}), row(cs->members[5]));
  EXPECT_EQ((std::vector<int>{1, 3, 4}), row(cs->members[6]));
  EXPECT_TRUE(row(cs->members[0]).empty());
  EXPECT_EQ((std::vector<int>{5, 6}), row(cs->supersets[1]));
  EXPECT_EQ((std::vector<int>{6}), row(cs->supersets[5]));
  EXPECT_TRUE(row(cs->supersets[6]).empty());

  // Equal groups are supersets of each other, an empty group is a subset of
  // every group, and the last group of every character is the wildcard.
  auto eq = load("alphabet= ADGT\ng= TGDA all\ng= AT\ng= ADGT any\ng= TA\ng=\n");
  EXPECT_EQ(7, eq->wildcard_code);
  EXPECT_EQ((std::vector<int>{5, 7, 8}), row(eq->supersets[6]));
  EXPECT_EQ((std::vector<int>{5, 6, 7, 8}), row(eq->supersets[9]));
}

TEST(Tokens, ALastTokenEndingTheLineGetsItsZeroAndTheListEnd) {
  char line[] = {'a', ' ', 'b', '\0', 'x'};
  tokens(line);
  EXPECT_EQ(0, std::memcmp(line, "a\0b\0\0", 5));
}

TEST_F(CharsetTest, FatalFaultsOfTheFile) {
  const std::string longest = "# " + std::string(9997, 'x') + "\n";  // 9999 characters
  EXPECT_EQ(2, load(longest + "alphabet= AC\n")->alphabet_size);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"alphabet=ACGT\n", "Config file doesn't have alphabet line at all!\n\n"},
      {"", "Config file doesn't have alphabet line at all!\n\n"},
      {"alphabet=   # nothing\n", "^Error: alphabet is missing from alphabet line...\n$"},
      {"alphabet= ACGA\n", "^Repeated character  65\n$"},
      {"alphabet= AC\ng= AX\n",
       "Error: character 88 not defined in input alphabet: AC\nUnrecognized characters in class AX\n$"},
      {"alphabet= ACG\ng= AGA\n", "^Repeated character in class  4\n$"},
      {"alphabet= AC\ng= A\0C\n"s, "zero byte in line 2"},
      {"alphabet= AC\n#" + std::string(9999, 'x') + "\n", "^Character-file has too long line\n$"},
  };
  for (const auto& c : cases) {
    const std::string name = dir.write("bad.charclass", c.first);
    EXPECT_EXIT(as_process([&] { read_set(name); }), ExitedWithCode(1), c.second) << c.first;
  }
  EXPECT_EXIT(as_process([&] { read_set(dir.file("missing")); }), ExitedWithCode(1),
              "^Can't open the configuration file .*/missing\n$");
}

TEST_F(CharsetTest, RefusesMoreThan127Codes) {
  std::string alphabet;
  for (int c = 0x21; alphabet.size() < 127; ++c)
    if (c != '#') alphabet.push_back(static_cast<char>(c));
  EXPECT_EQ(127, load("alphabet= " + alphabet + "\n")->total_codes);
  std::string wide;
  for (int c = 0x80; c < 0x100; ++c) wide.push_back(static_cast<char>(c));
  // One group too many, high bytes, and the automatic "." group of -wc.
  const std::vector<std::pair<std::string, int>> cases = {
      {"alphabet= " + alphabet + "\ng= AB\n", 0}, {"alphabet= " + wide + "\n", 0},
      {"alphabet= " + alphabet + "\n", 1}};
  for (const auto& c : cases) {
    nr_wc_allowed = c.second;
    EXPECT_EXIT(as_process([&] { read_set(dir.write("big.charclass", c.first)); }), ExitedWithCode(1), "more than 127 codes");
  }
}

TEST_F(CharsetTest, PrintsCodesGroupsAndGaps) {
  auto cs = load("alphabet= ADGT\ng= AG purine\ng= AGT\n");
  const char coded[] = {1, 5, 0, 6, 4, 0};
  max_gap_nr = 1;
  min_gap = 0;
  max_gap = 2;
  ::testing::internal::CaptureStdout();
  cs->print(static_cast<char>(0));
  cs->print("");
  cs->print(coded);
  cs->print(coded, 6);
  cs->print(static_cast<char>(128 + 5));
  EXPECT_EQ("_<empty>ApurineApurine_[AGT]T_.{0,2}purine", ::testing::internal::GetCapturedStdout());
  EXPECT_EXIT(as_process([&] { cs->print(static_cast<char>(128 + 7)); }), ExitedWithCode(1),
              "Was supposed to be a flexible wildcard... but was not\n\n$");
  max_gap_nr = 0;
  EXPECT_EXIT(as_process([&] { cs->print(static_cast<char>(7)); }), ExitedWithCode(1),
              "^ERROR: \\[unknown\\] \a\nDon't want to use modified data: update char set file "
              "instead\n\n$");
}

TEST_F(CharsetTest, GeneratedFileGetsItsModeOrLeavesNothingBehind) {
  const unsigned char joined[] = {0, 'A', 0};
  const std::string name = dir.file("made.charclass");
  ::testing::internal::CaptureStdout();
  write_charset_file(name.c_str(), count_bytes(joined, 3), 3);
  ::testing::internal::GetCapturedStdout();
  struct stat st;
  ASSERT_EQ(0, stat(name.c_str(), &st));
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(0664 & ~mask, st.st_mode & 0777);

  EXPECT_EXIT(as_process([&] { write_charset_file(dir.file("no_such_dir/set.charclass").c_str(), count_bytes(joined, 3), 3); }),
              ExitedWithCode(1),
              "^morva: warning: cannot write .*/no_such_dir/set.charclass: No such file or directory\n"
              "Couldn't open file .*/no_such_dir/set.charclass\n$");
  // A directory in the way of the rename: the temporary file is removed.
  const std::string taken = dir.file("taken");
  ASSERT_EQ(0, mkdir(taken.c_str(), 0755));
  EXPECT_EXIT(as_process([&] { write_charset_file(taken.c_str(), count_bytes(joined, 3), 3); }), ExitedWithCode(1),
              "Couldn't open file");
  EXPECT_EQ(0, std::system(("test $(ls '" + dir.path() + "' | wc -l) -eq 2").c_str()));
}

}  // namespace
