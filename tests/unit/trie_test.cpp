// The trie object: node blocks, parent stepping and per-class counting.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "input/input_string.h"
#include "input_test_files.h"
#include "run/globals.h"
#include "search/gstree.h"
#include "sets/set_registry.h"
#include "sets/sets.h"

namespace {

// Builds the input and the trie quietly from sequence lines (one file).
struct Trie {
  ScratchDir dir;
  std::unique_ptr<input_string> input;
  std::unique_ptr<GSTree> tree;

  explicit Trie(const std::string& lines) : input(quiet_acgt_input(dir, lines)) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    tree = std::make_unique<GSTree>(input.get());
    testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
  }

  // A list-form set from the given positions.
  static std::vector<int> list(std::vector<int> positions) {
    positions.insert(positions.begin(), static_cast<int>(positions.size()));
    return positions;
  }
};

TEST(TrieBlocks, NewBlocksStartClearedWithTheInitialGapCount) {
  Trie t("ACGT\n");
  init_gap_len = 3;
  STree_Node* block = t.tree->newchildren(2);
  EXPECT_EQ(block->nr_children, 2);
  EXPECT_EQ(block->nr_unexpanded(), 2);
  EXPECT_EQ(block->parent(), nullptr);
  for (int i = 0; i <= 2; ++i) {
    EXPECT_EQ(block[i].gap_count, 3);
    EXPECT_EQ(block[i].code, 0);
    EXPECT_EQ(block[i].set_id, nullptr);
    EXPECT_EQ(block[i].nr_seqs, 0);
  }
  EXPECT_EQ(block[1].nr_children, 0);
}

TEST(TrieBlocks, ParentsAreFoundThroughTheBlockHeader) {
  Trie t("ACGT\n");
  STree_Node* top = t.tree->newchildren(1);
  STree_Node* root = top + 1;
  STree_Node* kids = t.tree->newchildren(3);
  kids->parent() = root;
  root->children = kids;
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(parent_of(kids + i), root);
    EXPECT_EQ(block_header(kids + i), kids);
  }
  EXPECT_EQ(parent_of(root), nullptr);
  // Many blocks: earlier nodes never move when more blocks are made.
  std::vector<STree_Node*> blocks;
  for (int i = 0; i < 5000; ++i) blocks.push_back(t.tree->newchildren(30));
  EXPECT_EQ(parent_of(kids + 2), root);
  EXPECT_EQ(blocks.front()->nr_children, 30);
}

TEST(ClassCounts, EmptySetCountsNothing) {
  Trie t("ACGT x\nGG y\n");
  std::vector<int> empty = Trie::list({});
  EXPECT_EQ(t.tree->Count_Nr_of_Classes(empty.data()), 0);
  for (int j = 0; j <= 3; ++j) {
    EXPECT_EQ(t.tree->current_pos_counts()[j], 0);
    EXPECT_EQ(t.tree->current_seq_counts()[j], 0);
  }
}

TEST(ClassCounts, SeparatorsBelongToTheSequenceTheyEnd) {
  // Joined: 0 A C G T 0 G G 0 T 0 ; classes x, y, x.
  Trie t("ACGT x\nGG y\nT x\n");
  std::vector<int> set = Trie::list({1, 3, 5, 6, 9, 10});
  EXPECT_EQ(t.tree->Count_Nr_of_Classes(set.data()), 3);
  const int* pos = t.tree->current_pos_counts();
  const int* seq = t.tree->current_seq_counts();
  EXPECT_EQ(pos[1], 5);  // x: 1, 3, 5 (separator of sequence 1), 9, 10
  EXPECT_EQ(seq[1], 2);
  EXPECT_EQ(pos[2], 1);
  EXPECT_EQ(seq[2], 1);
  EXPECT_EQ(pos[3], 6);
  EXPECT_EQ(seq[3], 3);
  EXPECT_EQ(pos[0], 0);
}

TEST(ClassCounts, OneClassFillsItsSlotLikeTheTotal) {
  Trie t("ACGT\nGG\nAAA\n");
  // Also as a bit array: the single-class shortcut reads the size from the header.
  Sets sets(t.input->length);
  std::vector<int> list = Trie::list({2, 3, 7, 9, 10, 11});
  int* bits = sets.Make_BA_from_L(list.data());
  for (const int* set : {static_cast<const int*>(list.data()), static_cast<const int*>(bits)}) {
    EXPECT_EQ(t.tree->Count_Nr_of_Classes(set), 3);
    EXPECT_EQ(t.tree->current_pos_counts()[1], 6);
    EXPECT_EQ(t.tree->current_pos_counts()[2], 6);
    EXPECT_EQ(t.tree->current_seq_counts()[1], 3);
    EXPECT_EQ(t.tree->current_pos_counts()[0], 0);
    EXPECT_EQ(t.tree->current_seq_counts()[0], 0);
  }
  Sets::del_set(bits);
}

TEST(ClassCounts, ClassNumbersAbove127AreSlotsNotSigns) {
  std::string lines;
  for (int i = 1; i <= 200; ++i) lines += "AC c" + std::to_string(i) + "\n";
  Trie t(lines);
  ASSERT_EQ(t.input->classes->nr_classes, 200);
  // Sequence 200 occupies positions 598..600 (its separator).
  std::vector<int> set = Trie::list({598, 599});
  t.tree->Count_Nr_of_Classes(set.data());
  EXPECT_EQ(t.tree->current_pos_counts()[200], 2);
  EXPECT_EQ(t.tree->current_seq_counts()[200], 1);
  EXPECT_EQ(t.tree->current_seq_counts()[201], 1);
}

TEST(ClassCounts, RegisteredSetsCacheTheirCountsOnce) {
  Trie t("ACGT x\nGG y\n");
  testing::internal::CaptureStdout();
  Set_of_Sets& registry = t.tree->start_registry();
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(&t.tree->registry(), &registry);
  std::vector<int> list = Trie::list({1, 2, 6});
  STree_Node* block = t.tree->newchildren(1);
  STree_Node* node = block + 1;
  testing::internal::CaptureStderr();
  node->set_id = registry.Insert_Single_Set(list.data());
  testing::internal::GetCapturedStderr();
  t.tree->Count_Nr_of_Classes(node, nullptr);
  ASSERT_NE(node->set_id->counts, nullptr);
  // The block is a copy of what was just counted, sequence counts first.
  const int* seq = t.tree->current_seq_counts();
  const int* pos = t.tree->current_pos_counts();
  ASSERT_NE(seq, node->set_id->counts);
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(node->set_id->counts[j], seq[j]);
    EXPECT_EQ(node->set_id->counts[4 + j], pos[j]);
  }
  EXPECT_EQ(seq[1], 1);
  EXPECT_EQ(seq[2], 1);
  EXPECT_EQ(pos[1], 2);
  EXPECT_EQ(pos[2], 1);
  // A second count is answered from the block, whatever set is passed in.
  std::vector<int> other = Trie::list({6});
  t.tree->Count_Nr_of_Classes(node, other.data());
  EXPECT_EQ(t.tree->current_seq_counts(), node->set_id->counts);
  EXPECT_EQ(t.tree->current_pos_counts()[3], 3);
}

}  // namespace
