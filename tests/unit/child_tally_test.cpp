// The gathering of group children during a node's distribution: each group
// list and count must equal a recount of the member characters' positions.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "alphabet/charset.h"
#include "input_test_files.h"
#include "run/globals.h"
#include "search/child_tally.h"

namespace {

// One position of a walk: followed by code x, in sequence s of class c.
struct Step {
  int position, x, s, c;
};

class ChildTallyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_settings();
    // A=1 C=2 G=3 T=4; groups AG=5, GT=6, ACGT=7 (the wildcard-like group).
    const std::string name =
        dir.write("set.charclass", "alphabet= ACGT\ng= AG\ng= GT\ng= ACGT\n");
    ::testing::internal::CaptureStdout();
    charset = std::make_unique<CHARSET>(name.c_str());
    ::testing::internal::GetCapturedStdout();
    long long occurrences[256] = {};
    for (int x = 1; x <= 4; ++x) occurrences[x] = 100;
    tally.reserve(*charset, occurrences);
  }

  // What a recount of a code's positions among the steps gives: sequences
  // per class then positions per class, slot K+1 the totals.
  static std::vector<int> recount(const std::vector<Step>& walk, const std::vector<int>& codes,
                                  int classes) {
    const int slots = classes + 2;
    std::vector<int> counts(2 * slots, 0);
    std::map<int, int> seen;  // sequence -> class
    for (const Step& st : walk) {
      bool member = false;
      for (int code : codes) member = member || code == st.x;
      if (!member) continue;
      ++counts[slots + (classes == 1 ? 1 : st.c)];
      ++counts[slots + classes + 1];
      seen[st.s] = st.c;
    }
    for (const auto& [s, c] : seen) {
      ++counts[c];
      ++counts[classes + 1];
    }
    return counts;
  }

  std::vector<int> counts_of(int x, int classes) {
    const int* c = tally.counts(x);
    return std::vector<int>(c, c + 2 * (classes + 2));
  }

  std::vector<int> list_of(int g) {
    const int* l = tally.list(g);
    return std::vector<int>(l + 1, l + 1 + l[0]);
  }

  static void walk(ChildTally& t, const std::vector<Step>& steps) {
    for (const Step& st : steps) t.add(st.x, st.s, st.c, st.position + 1);
  }

  ScratchDir dir;
  std::unique_ptr<CHARSET> charset;
  ChildTally tally;
};

// Two classes, sequences that hold a code more than once, a code in two groups.
const std::vector<Step> kWalk = {
    {1, 1, 1, 1}, {2, 3, 1, 1}, {3, 3, 1, 1}, {7, 2, 2, 2}, {8, 4, 2, 2},
    {12, 3, 3, 1}, {13, 1, 3, 1}, {20, 4, 4, 2}, {21, 4, 4, 2}, {22, 3, 4, 2},
};

TEST_F(ChildTallyTest, GroupListsAndCountsEqualARecountOfTheirMembers) {
  ASSERT_TRUE(tally.prepare(*charset, 2, 5, 7));
  walk(tally, kWalk);
  EXPECT_EQ(list_of(5), (std::vector<int>{2, 3, 4, 13, 14, 23}));
  EXPECT_EQ(list_of(6), (std::vector<int>{3, 4, 9, 13, 21, 22, 23}));
  EXPECT_EQ(list_of(7), (std::vector<int>{2, 3, 4, 8, 9, 13, 14, 21, 22, 23}));
  EXPECT_EQ(counts_of(5, 2), recount(kWalk, {1, 3}, 2));
  EXPECT_EQ(counts_of(6, 2), recount(kWalk, {3, 4}, 2));
  EXPECT_EQ(counts_of(7, 2), recount(kWalk, {1, 2, 3, 4}, 2));
  for (int x = 1; x <= 4; ++x) {
    EXPECT_TRUE(tally.counted(x));
    EXPECT_EQ(counts_of(x, 2), recount(kWalk, {x}, 2)) << "code " << x;
  }
}

TEST_F(ChildTallyTest, OnlyTheGroupsOfTheWindowAndTheirMembersAreGathered) {
  // Groups 5..6 only: C belongs to neither, so it is left to a count of its own list.
  ASSERT_TRUE(tally.prepare(*charset, 2, 5, 6));
  walk(tally, kWalk);
  EXPECT_FALSE(tally.counted(2));
  EXPECT_FALSE(tally.counted(7));
  EXPECT_TRUE(tally.counted(4));
  EXPECT_EQ(counts_of(6, 2), recount(kWalk, {3, 4}, 2));
  // No group at all: nothing is gathered and the walk need not look up sequences.
  EXPECT_FALSE(tally.prepare(*charset, 2, 8, 7));
  tally.clear();
  for (int x = 1; x <= 7; ++x) EXPECT_FALSE(tally.counted(x));
}

TEST_F(ChildTallyTest, ASecondWalkStartsFromNothingAndOneClassCountsPositionsInClassOne) {
  ASSERT_TRUE(tally.prepare(*charset, 2, 5, 7));
  walk(tally, kWalk);
  const std::vector<Step> second = {{4, 3, 1, 1}, {30, 1, 5, 1}, {31, 3, 5, 1}};
  ASSERT_TRUE(tally.prepare(*charset, 1, 7, 7));
  walk(tally, second);
  EXPECT_EQ(list_of(7), (std::vector<int>{5, 31, 32}));
  EXPECT_EQ(counts_of(7, 1), recount(second, {1, 2, 3, 4}, 1));
  EXPECT_EQ(counts_of(3, 1), recount(second, {3}, 1));
  EXPECT_FALSE(tally.counted(5));
}

TEST_F(ChildTallyTest, AnUnlistedGroupIsCountedWithoutAListAndTheOthersKeepTheirs) {
  // The wildcard-like group's set is made elsewhere: its counts must be the
  // full recount, the other groups' lists and counts as without it.
  ASSERT_TRUE(tally.prepare(*charset, 2, 5, 7, 7));
  walk(tally, kWalk);
  EXPECT_EQ(counts_of(7, 2), recount(kWalk, {1, 2, 3, 4}, 2));
  EXPECT_EQ(list_of(5), (std::vector<int>{2, 3, 4, 13, 14, 23}));
  EXPECT_EQ(list_of(6), (std::vector<int>{3, 4, 9, 13, 21, 22, 23}));
  EXPECT_EQ(counts_of(6, 2), recount(kWalk, {3, 4}, 2));
  // C belongs to the unlisted group only: it is still counted.
  EXPECT_TRUE(tally.counted(2));
  EXPECT_EQ(counts_of(2, 2), recount(kWalk, {2}, 2));
  // The next window lists the group again, from an empty list.
  ASSERT_TRUE(tally.prepare(*charset, 2, 5, 7));
  walk(tally, kWalk);
  EXPECT_EQ(list_of(7), (std::vector<int>{2, 3, 4, 8, 9, 13, 14, 21, 22, 23}));
}

}  // namespace
