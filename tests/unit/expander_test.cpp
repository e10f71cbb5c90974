// A node's expansion against a recount from the string itself: every child
// (character, group, wildcard, and each after a flexible gap) with its set
// and its sequences and positions per class, for node sets from a few
// positions per sequence (each position's sequence looked up) to every
// position (the sequence ends followed), stored plain, packed, or packed and
// moved on by a wildcard run.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "alphabet/charset.h"
#include "input_test_files.h"
#include "run/globals.h"
#include "search/expander.h"
#include "search/gstree.h"
#include "search/packed_positions.h"
#include "sets/set_walk.h"
#include "sets/set_registry.h"
#include "sets/sets.h"

namespace {

struct Counts {
  std::vector<int> seq, pos;  // per class slot, slot K+1 the totals
  bool operator==(const Counts& o) const { return seq == o.seq && pos == o.pos; }
};

class ExpanderTest : public ::testing::Test {
 protected:
  // Random sequences over A C G T and the STOP *, of 0 to 80 residues, in
  // classes 1..K, joined as the input stage joins them.
  void build(int classes, unsigned seed) {
    reset_settings();
    const std::string name = dir.write("set.charclass", "alphabet= ACGT*\nSTOP= *\ng= AG\ng= CT\ng= ACGT\n");
    ::testing::internal::CaptureStdout();
    charset = std::make_unique<CHARSET>(name.c_str());
    ::testing::internal::GetCapturedStdout();
    std::mt19937 random(seed);
    coded.assign(1, 0);
    seq_of_pos.assign(1, 0);
    seq_end.assign(1, 0);
    class_of_seq.assign(1, 0);
    for (int k = 1; k <= 60; ++k) {
      const int length = static_cast<int>(random() % 81);
      for (int i = 0; i < length; ++i) {
        coded.push_back(static_cast<unsigned char>(random() % 23 == 0 ? 5 : 1 + random() % 4));
        seq_of_pos.push_back(static_cast<std::uint16_t>(k));
      }
      coded.push_back(0);
      seq_of_pos.push_back(static_cast<std::uint16_t>(k));
      seq_end.push_back(static_cast<int>(coded.size()) - 1);
      class_of_seq.push_back(static_cast<unsigned char>(1 + random() % classes));
    }
    length = static_cast<int>(coded.size());
    coded.resize(coded.size() + 16, 0);
    seq_of_pos.resize(coded.size(), 0);
    index = std::make_unique<SequenceIndex>(seq_end.data(), 60, length);
    sets = std::make_unique<Sets>(length);
    for (long long& o : occurrences) o = 0;
    for (int p = 0; p < length; ++p) ++occurrences[coded[p]];
    for (int x = 1; x <= charset->alphabet_size; ++x) crossable[x] = charset->stop_flag[x] == 0;
    in = SearchInput();
    in.charset = charset.get();
    in.coded = coded.data();
    in.coded_length = length;
    in.seq_index = index.get();
    in.class_of_seq = class_of_seq.data();
    in.nr_classes = classes;
    in.total_slot = in.freq_slot = classes + 1;
    in.crossable = crossable;
    in.occurrences = occurrences;
  }

  bool in_code(int x, int code) const {
    if (code <= charset->alphabet_size) return x == code;
    const unsigned char* row = charset->members[code];
    for (int i = 1; i <= row[0]; ++i)
      if (row[i] == x) return true;
    return false;
  }

  // Sequences and positions per class of positions (the sequence of each).
  Counts recount(const std::set<int>& positions) const {
    const int slots = in.nr_classes + 2;
    Counts c{std::vector<int>(slots, 0), std::vector<int>(slots, 0)};
    std::set<int> seen;
    for (int p : positions) {
      const int s = seq_of_pos[p], cls = class_of_seq[s];
      ++c.pos[cls];
      ++c.pos[slots - 1];
      if (seen.insert(s).second) {
        ++c.seq[cls];
        ++c.seq[slots - 1];
      }
    }
    return c;
  }

  // A child's positions: those q + 1 where q lies `from` to `to` places after
  // an element of the node's set, the codes there and between crossable and
  // the code at q one the child stands for.
  std::set<int> child_set(const std::set<int>& node, int code, int from, int to) const {
    std::set<int> out;
    for (int p : node)
      for (int k = 0; k <= to && p + k < length && crossable[coded[p + k]]; ++k)
        if (k >= from && in_code(coded[p + k], code)) out.insert(p + k + 1);
    return out;
  }

  // The set a stored one stands for after a wildcard run of `offset`: each
  // element whose next `offset` codes may be crossed, moved past them.
  std::set<int> moved_on(const std::set<int>& stored, int offset) const {
    std::set<int> out;
    for (int q : stored) {
      int k = 0;
      while (k < offset && crossable[coded[q + k]]) ++k;
      if (k == offset) out.insert(q + offset);
    }
    return out;
  }

  // Expands a node whose stored set is `stored` (moved on by `offset`), with
  // its counts kept as the search keeps them, and checks every child against
  // the recount, and that every character followed somewhere is a child.
  void check(const std::set<int>& stored, STree_Node node, int offset, bool packs) {
    const std::set<int> positions = moved_on(stored, offset);
    if (positions.size() < 2) return;
    std::vector<int> list(stored.begin(), stored.end());
    list.insert(list.begin(), static_cast<int>(stored.size()));
    std::vector<unsigned char> scratch;
    Set_ID id{};
    const bool packed = packs || !is_character_node(&node, charset->alphabet_size);
    id.set = packed ? packed_positions::pack(list.data(), scratch) : sets->min_copy(list.data());
    for (int k = 0; k < offset; ++k) packed_positions::move_on(id.set);
    const Counts own = recount(positions);
    std::vector<int> kept(own.seq);
    kept.insert(kept.end(), own.pos.begin(), own.pos.end());
    id.counts = kept.data();
    node.set_id = &id;
    STree_Node root{};
    in.root = &root;
    Expander expander(in, true);
    expander.start(&root, packs, sets.get());
    const int slots = in.nr_classes + 2;

    Expansion out;
    expander.expand(&node, out);
    std::map<std::pair<bool, int>, std::size_t> children;
    for (std::size_t i = 0; i < out.children.size(); ++i) {
      const ExpansionChild& child = out.children[i];
      children[{child.gap, child.code}] = i;
      const std::set<int> expected = child.gap ? child_set(positions, child.code, min_gap, max_gap)
                                               : child_set(positions, child.code, 0, 0);
      const int* c = out.counts(i);
      const Counts got{std::vector<int>(c, c + slots), std::vector<int>(c + slots, c + 2 * slots)};
      EXPECT_EQ(got, recount(expected)) << "child " << int(child.code) << (child.gap ? " after a gap" : "");
      if (child.set == nullptr) continue;
      std::vector<int> stored(expected.size() + 2);
      const bool child_packed = packs || child.code > charset->alphabet_size;
      std::set<int> got_set;
      if (child_packed) {
        ASSERT_EQ(packed_positions::size(child.set), static_cast<int>(expected.size()));
        packed_positions::unpack(child.set, stored.data());
        got_set.insert(stored.begin() + 1, stored.begin() + 1 + stored[0]);
      } else {
        for_each_element(child.set, length, [&](int q) { got_set.insert(q); });
      }
      EXPECT_EQ(got_set, expected) << "child " << int(child.code) << (child.gap ? " after a gap" : "");
    }
    for (int x = 1; x <= charset->alphabet_size; ++x) {
      if (crossable[x] && !child_set(positions, x, 0, 0).empty()) {
        EXPECT_EQ(children.count({false, x}), 1u) << "character " << x;
      }
    }
    // The node's own counts as the search counts a set it has not kept them for.
    Counts counted{std::vector<int>(slots), std::vector<int>(slots)};
    expander.count(expander.set_of(&node), counted.pos.data(), counted.seq.data());
    EXPECT_EQ(counted, own);
    Sets::del_set(id.set);
  }

  // Node sets from a few elements to all positions, one pattern position in.
  std::vector<std::set<int>> node_sets(unsigned seed) const {
    std::mt19937 random(seed);
    std::vector<std::set<int>> out;
    for (int size : {20, 150, 470, 490, 1200, length}) {
      std::set<int> s;
      if (size >= length - 1) {
        for (int p = 1; p < length; ++p) s.insert(p);
      } else {
        while (static_cast<int>(s.size()) < size) s.insert(1 + static_cast<int>(random() % (length - 1)));
      }
      out.push_back(s);
    }
    return out;
  }

  ScratchDir dir;
  std::unique_ptr<CHARSET> charset;
  std::vector<unsigned char> coded;
  std::vector<std::uint16_t> seq_of_pos;
  std::vector<int> seq_end;
  std::vector<unsigned char> class_of_seq;
  int length = 0;
  std::unique_ptr<SequenceIndex> index;
  std::unique_ptr<Sets> sets;
  long long occurrences[256] = {};
  bool crossable[256] = {};
  SearchInput in;
};

TEST_F(ExpanderTest, CharacterChildrenInOneAndThreeClasses) {
  for (int classes : {1, 3}) {
    build(classes, 11 + classes);
    STree_Node node{};
    node.code = 1;
    for (const std::set<int>& s : node_sets(3)) check(s, node, 0, false);
  }
}

TEST_F(ExpanderTest, GroupsWildcardsAndGapsTogether) {
  for (int classes : {1, 2}) {
    build(classes, 21 + classes);
    maxgrp = 2;
    nr_wc_allowed = 1;
    max_gap_nr = 1;
    min_gap = 1;
    max_gap = 3;
    STree_Node node{};
    node.code = 2;
    node.gap_count = 1;
    node.wc_left = 1;
    for (bool packs : {false, true})
      for (const std::set<int>& s : node_sets(5)) check(s, node, 0, packs);
  }
}

TEST_F(ExpanderTest, WildcardRunsStoredAsTheirParentsSetMovedOn) {
  build(2, 31);
  maxgrp = 1;
  nr_wc_allowed = 1;
  STree_Node node{};
  node.code = static_cast<std::uint8_t>(charset->total_codes);  // a wildcard node: a group
  node.gap_count = 1;
  node.wc_left = 1;
  for (int offset : {1, 2, 3})
    for (const std::set<int>& stored : node_sets(7 + offset)) check(stored, node, offset, true);
}

}  // namespace
