// The trie object: node blocks, parent stepping and per-class counting.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "input/input_string.h"
#include "input_test_files.h"
#include "run/globals.h"
#include "search/gstree.h"

namespace {

// Builds the input and the trie quietly from sequence lines (one file).
struct Trie {
  ScratchDir dir;
  std::unique_ptr<input_string> input;
  std::unique_ptr<GSTree> tree;

  explicit Trie(const std::string& lines) {
    reset_settings();
    std::string seqs = dir.write("seqs.txt", lines);
    std::string cf = dir.write("set.cf", "alphabet= ACGT\n");
    std::vector<char*> files = {nullptr, &seqs[0], nullptr};
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    input = std::make_unique<input_string>(files.data(), cf.c_str(), 0);
    tree = std::make_unique<GSTree>(input.get());
    testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
  }

  // Counts a list-form set of the given positions.
  int count(std::vector<int> positions) {
    positions.insert(positions.begin(), static_cast<int>(positions.size()));
    return tree->Count_Nr_of_Classes(positions.data());
  }
};

TEST(ClassCounts, SeparatorsBelongToTheSequenceTheyEnd) {
  // Joined: 0 A C G T 0 G G 0 T 0 ; classes x, y, x.
  Trie t("ACGT x\nGG y\nT x\n");
  const int* pos = t.tree->cur_pos_counts;
  const int* seq = t.tree->cur_seq_counts;
  EXPECT_EQ(t.count({1, 3, 5, 6, 9, 10}), 3);
  EXPECT_EQ(std::vector<int>(pos, pos + 4), (std::vector<int>{0, 5, 1, 6}));
  EXPECT_EQ(std::vector<int>(seq, seq + 4), (std::vector<int>{0, 2, 1, 3}));
  EXPECT_EQ(t.count({}), 0);
  EXPECT_EQ(std::vector<int>(pos, pos + 4), (std::vector<int>{0, 0, 0, 0}));
}

TEST(ClassCounts, ClassNumbersAbove127AreSlotsNotSigns) {
  std::string lines;
  for (int i = 1; i <= 200; ++i) lines += "AC c" + std::to_string(i) + "\n";
  Trie t(lines);
  ASSERT_EQ(t.tree->nr_classes, 200);
  t.count({598, 599});  // sequence 200 occupies 598..600 (its separator)
  EXPECT_EQ(t.tree->cur_pos_counts[200], 2);
  EXPECT_EQ(t.tree->cur_seq_counts[200], 1);
  EXPECT_EQ(t.tree->cur_seq_counts[201], 1);
}

}  // namespace
