// Expansion of a trie node into its character, group, wildcard and gap children.
#include <algorithm>
#include <cstring>
#include <new>

#include "alphabet/charset.h"
#include "input/input_string.h"
#include "run/error.h"
#include "run/globals.h"
#include "search/gstree.h"
#include "search/packed_positions.h"
#include "search/set_walk.h"
#include "sets/set_registry.h"
#include "sets/sets.h"

namespace {

// Enough placed positions since the start, the last gap or the last wildcard
// run for a wildcard or a gap to follow.
// A count at or below 0 (a negative -init_gap_len) has not yet reached its
// first allowed place: it counts up through 0 like any other position, so a
// negative start delays the first gap or wildcard by that many positions.
// The count of the next position, held at the top of its 8-bit field: a
// wrap would turn a long pattern's count negative and allow gaps again.
inline std::int8_t next_gap_count(int gap_count) {
  return static_cast<std::int8_t>(gap_count < 127 ? gap_count + 1 : 127);
}

inline bool gap_condition(int gap_count) {
  return gap_count > 0 && gap_count % no_gap_len == 0;
}

}  // namespace

void sum_group_counts(const CHARSET& charset, int* counts, int first, int last, int least_positions) {
  for (int e = first; e <= last; ++e) {
    const unsigned char* row = charset.members[e];
    int sum = 0;
    for (int i = 1; i <= row[0]; ++i) sum += counts[row[i]];
    counts[e] = sum < least_positions ? 0 : sum;
  }
}

void prune_rare_characters(const CHARSET& charset, int* counts, int least_positions) {
  for (int x = 1; x <= charset.alphabet_size; ++x) {
    if (counts[x] >= least_positions) continue;
    const unsigned char* row = charset.members[x];
    bool needed = false;
    for (int i = 1; i <= row[0] && !needed; ++i) needed = counts[row[i]] != 0;
    if (!needed) counts[x] = 0;
  }
}

STree_Node* GSTree::insertchildren(STree_Node* node) {
  const int alphabet_size = charset->alphabet_size;
  const int total_codes = charset->total_codes;
  const STree_Node* root = root_block + 1;

  // A wildcard node's set may still need its offset: the distribution
  // applies it on its way (the codes it reads lie beside those it reads
  // anyway); the gap pass wants the set itself.
  int moved = 0;
  const int* set = stored_set_of(node, moved);
  if (moved != 0 && (max_gap_nr != 0 || node->set_id->counts == nullptr)) {
    set = set_of(node);
    moved = 0;
  }
  Count_Nr_of_Classes(node, set);
  const int P = cur_pos_counts[total_slot];
  const int S = cur_seq_counts[total_slot];
  if (P < minpos) return nullptr;
  const int least = least_support();
  if (least != 0 && S < least) return nullptr;
  if (minstrings != 0 && cur_seq_counts[minclass] < minstringsinclass) return nullptr;
  if (P == 1 && !(onepos && onestr)) return nullptr;
  if (S == 1 && !onestr) return nullptr;

  const int G = node->nr_groups;
  const int W = node->wc_left;
  const bool groups_here = !(G >= maxgrp && W == 0);
  const int first = G < maxgrp ? alphabet_size + 1 : total_codes;
  int last = total_codes;
  if (nr_wc_allowed != 0 && !(W != 0 && gap_condition(node->gap_count))) last = total_codes - 1;
  child_tally_.clear();
  gap_tally_.clear();
  // The wildcard child takes over this node's packed set (moved one place
  // on) once the node is unpacked, so its own list need not be gathered;
  // the root has no wildcard child, so its list (as long as the whole
  // string) is never made at all.
  const bool wildcard_here = nr_wc_allowed != 0 && last == total_codes;
  const int moved_wildcard = wildcard_here && packs_sets_ && node != root ? total_codes : 0;
  const int unlisted = wildcard_here && node == root ? total_codes : moved_wildcard;
  const bool tally = groups_here && first <= last &&
                     child_tally_.prepare(*charset, nr_classes, first, last, unlisted);

  // The lists' count words are set by the distribution below; only the
  // candidate counts need clearing here.
  std::fill(code_counts.begin(), code_counts.end(), 0);
  const unsigned char* stop_flag = charset->stop_flag.data();
  {
    // One pass distributes the positions by the code that follows them; a
    // list holds the positions after the code, which make the child's set.
    // The write cursor of each list lives in a local table, away from the
    // lists' own count words, which are set once at the end.
    int* lists[128];
    int ends[128];
    for (int x = 0; x <= alphabet_size; ++x) {
      lists[x] = code_positions[x].data();
      ends[x] = 0;
    }
    const unsigned char* coded = coded_string;
    const bool* crossable = crossable_;
    // The position the set stands for, or -1 when a moved one is dropped.
    auto moved_on = [&](int q) __attribute__((always_inline)) {
      return packed_positions::moved_position(q, moved, coded, crossable);
    };
    if (tally) {
      SequenceCursor seq(*seq_index_, input->class_of_seq.data());
      ChildTally& t = child_tally_;
      // Inlined by force: as a call per element, the body reloads everything
      // it captures and the walk costs a tenth more.
      auto visit = [&](int q) __attribute__((always_inline)) {
        const int p = moved == 0 ? q : moved_on(q);
        if (p < 0) return;
        const unsigned x = coded[p];
        if (x == 0 || stop_flag[x]) return;
        lists[x][++ends[x]] = p + 1;
        seq.advance(p);
        t.add(static_cast<int>(x), seq.seq, seq.cls, p + 1);
      };
      const SequenceIndex& index = *seq_index_;
      for_each_element_requesting(set, coded_length, visit, [&](int q) {
        __builtin_prefetch(coded + q);
        index.prefetch(q);
      });
    } else {
      auto visit = [&](int q) {
        const int p = moved == 0 ? q : moved_on(q);
        if (p < 0) return;
        const unsigned x = coded[p];
        if (x == 0 || stop_flag[x]) return;
        lists[x][++ends[x]] = p + 1;
      };
      for_each_element_prefetching(set, coded_length, visit, coded);
    }
    for (int x = 0; x <= alphabet_size; ++x) lists[x][0] = ends[x];
  }
  int* counts = code_counts.data();
  for (int x = 0; x <= alphabet_size; ++x) counts[x] = code_positions[x][0];

  if (!groups_here) {
    for (int x = 1; x <= alphabet_size; ++x)
      if (counts[x] < least_positions()) counts[x] = 0;
  } else {
    for (int e = alphabet_size + 1; e <= total_codes; ++e) counts[e] = 0;
    sum_group_counts(*charset, counts, first, last, least_positions());
    if (node == root) {
      counts[charset->wildcard_code] = 0;
      if (nr_wc_allowed != 0) counts[total_codes] = 0;
    }
    prune_rare_characters(*charset, counts, least_positions());
  }

  bool gap_children = false;
  // A negative gap number allows no gap (with a negative initial count the
  // division below would, and such gap children could not even be printed).
  if (max_gap_nr > 0 && gap_condition(node->gap_count) &&
      (node->gap_count - 1) / no_gap_len < max_gap_nr) {
    clean_gap_tmp();
    if (node != root) {
      insert_children_add_gap(node, set);
      gap_children = true;
    }
  }

  int J = 0;
  for (int x = 1; x <= total_codes; ++x) J += counts[x] > 0;
  if (gap_children)
    for (int x = 1; x <= total_codes; ++x) J += gap_code_counts[x] > 0;
  if (J == 0) return nullptr;

  STree_Node* block = newchildren(J);
  node->children = block;
  block->code = 0;
  // Characters first, then groups, in increasing code: the order in which
  // the registry counts the characters' sets and the search queues children.
  STree_Node* child = block + 1;
  auto add_children = [&](const int* candidate, std::vector<std::vector<int>>& positions,
                          ChildTally& tally, bool gap) {
    for (int x = 1; x <= total_codes; ++x) {
      if (candidate[x] <= 0) continue;
      if (gap)
        fill_gap_child(node, child, x);
      else
        fill_regular_child(node, child, x);
      if (x <= alphabet_size)
        count_and_register(child, positions[x], tally, x);
      else if (!gap && x == moved_wildcard)
        take_over_set(node, child, tally, x);
      else
        count_group_child(child, tally, x);
      ++child;
    }
  };
  add_children(counts, code_positions, child_tally_, false);
  if (gap_children) add_children(gap_code_counts.data(), gap_code_positions, gap_tally_, true);
  return block;
}

void GSTree::fill_regular_child(STree_Node* node, STree_Node* child, int x) {
  const int alphabet_size = charset->alphabet_size;
  const int g = node->gap_count;
  const bool holds = gap_condition(g);
  child->gap_count = node->gap_count;
  child->nr_groups = node->nr_groups;
  child->wc_left = node->wc_left;
  child->wc_run = node->wc_run;
  child->code = static_cast<std::uint8_t>(x);
  child->nr_children = 0;
  child->level = static_cast<std::uint8_t>(node->level + 1);
  child->set_id = nullptr;
  if (costf == 1) child->cost = node->cost + charset->cost[x];

  const bool wildcard = nr_wc_allowed != 0 && x == charset->total_codes;
  if (wildcard) {
    if (static_cast<unsigned>(node->wc_run) + 1 < static_cast<unsigned>(longest_wc_run)) {
      child->wc_run = static_cast<std::uint8_t>(node->wc_run + 1);
      child->gap_count = static_cast<std::int8_t>(g);
    } else {
      child->wc_run = 0;
      child->wc_left = static_cast<std::int8_t>(node->wc_left - 1);
      child->gap_count = next_gap_count(g);
    }
    return;
  }
  if (x > alphabet_size) child->nr_groups = static_cast<std::uint8_t>(node->nr_groups + 1);
  if (node->wc_run != 0) {
    child->wc_run = 0;
    child->wc_left = static_cast<std::int8_t>(node->wc_left - 1);
    child->gap_count = next_gap_count(g);
  } else if (!holds) {
    child->gap_count = next_gap_count(g);
  }
}

void GSTree::fill_gap_child(STree_Node* node, STree_Node* child, int x) {
  child->code = static_cast<std::uint8_t>(x + 128);
  child->nr_children = 0;
  child->gap_count = next_gap_count(node->gap_count);
  child->nr_groups =
      static_cast<std::uint8_t>(node->nr_groups + (x > charset->alphabet_size ? 1 : 0));
  child->wc_left = node->wc_left;
  child->wc_run = 0;
  child->level = static_cast<std::uint8_t>(node->level + 1);
  child->set_id = nullptr;
  // The gap's cost is evaluated in double precision and stored as a float.
  if (costf == 1)
    child->cost = static_cast<float>(static_cast<double>(node->cost) - 3.0 +
                                     static_cast<double>(charset->cost[x]));
}

void GSTree::use_tallied_counts(STree_Node* child, ChildTally& tally, int x) {
  cur_seq_counts = tally.counts(x);
  cur_pos_counts = cur_seq_counts + nr_classes + 2;
  child->nr_seqs = static_cast<std::uint16_t>(cur_seq_counts[total_slot]);
  child->freq = static_cast<std::uint16_t>(cur_seq_counts[freq_slot]);
}

void GSTree::keep_counts(Set_ID* id) {
  const int slots = nr_classes + 2;
  int* block = set_registry->new_counts(2 * slots);
  std::memcpy(block, cur_seq_counts, sizeof(int) * slots);
  std::memcpy(block + slots, cur_pos_counts, sizeof(int) * slots);
  id->counts = block;
}

void GSTree::count_and_register(STree_Node* child, std::vector<int>& positions, ChildTally& tally,
                                int x) {
  int* list = positions.data();
  if (tally.counted(x)) {
    use_tallied_counts(child, tally, x);
  } else {
    Count_Nr_of_Classes(list);
    child->nr_seqs = static_cast<std::uint16_t>(cur_seq_counts[total_slot]);
    child->freq = static_cast<std::uint16_t>(cur_seq_counts[freq_slot]);
  }
  // Without duplicate detection a child that the search will not queue is
  // never read again (group siblings keep sets of their own): its set need
  // not be stored, but it is counted as stored, so that the registry's
  // counters and progress marks stay those of a registry that keeps it.
  if (abandonequal == 0 && !may_be_queued(child, least_support())) {
    set_registry->count_unstored_set();
    return;
  }
  Set_ID* id = abandonequal != 0 ? set_registry->Insert_Set(list, child->freq)
               : packs_sets_    ? set_registry->Insert_Single_Block(
                                   packed_positions::pack(list, pack_scratch_))
                                : set_registry->Insert_Single_Set(list);
  child->set_id = id;
  if (id->node == nullptr) {
    id->node = child;
    keep_counts(id);
  }
}

void GSTree::take_over_set(STree_Node* node, STree_Node* child, ChildTally& tally, int x) {
  use_tallied_counts(child, tally, x);
  if (!may_be_queued(child, least_support())) return;
  // The node has been unpacked for this expansion and is never read again.
  Set_ID* id = set_registry->new_setid();
  id->set = node->set_id->set;
  node->set_id->set = nullptr;
  packed_positions::move_on(id->set);
  id->node = child;
  keep_counts(id);
  child->set_id = id;
}

void GSTree::count_group_child(STree_Node* child, ChildTally& tally, int x) {
  use_tallied_counts(child, tally, x);
  if (!may_be_queued(child, least_support())) return;
  // A group child that may be queued keeps its set (packed) and counts in a
  // handle taken outside the registry's trees and counters: the character
  // children are what the registry stores and counts, and duplicate
  // detection never looked at groups.
  Set_ID* id = set_registry->new_setid();
  id->set = packed_positions::pack(tally.list(x), pack_scratch_);
  id->node = child;
  keep_counts(id);
  child->set_id = id;
}
