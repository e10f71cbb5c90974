// Expansion of a trie node into its character, group, wildcard and gap children.
#include <cstring>

#include "alphabet/charset.h"
#include "run/error.h"
#include "run/globals.h"
#include "search/expander.h"
#include "search/gstree.h"
#include "search/lookahead.h"
#include "search/packed_positions.h"
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
  // Computed here, or ahead by another thread; committed here, in the
  // search's order, either way.
  Expansion* expansion = &own_expansion_;
  if (lookahead_ != nullptr)
    expansion = &lookahead_->expansion_of(node, *own_, own_expansion_);
  else
    own_->expand(node, own_expansion_);
  STree_Node* block = commit_expansion(node, *expansion);
  if (lookahead_ != nullptr) lookahead_->committed(*expansion);
  return block;
}

STree_Node* GSTree::commit_expansion(STree_Node* node, Expansion& expansion) {
  const std::size_t J = expansion.children.size();
  if (J == 0) return nullptr;
  STree_Node* block = newchildren(static_cast<int>(J));
  node->children = block;
  block->code = 0;
  for (std::size_t i = 0; i < J; ++i) {
    const ExpansionChild& c = expansion.children[i];
    STree_Node* child = block + 1 + i;
    if (c.gap)
      fill_gap_child(node, child, c.code);
    else
      fill_regular_child(node, child, c.code);
    const int* counts = expansion.counts(i);
    child->nr_seqs = counts[total_slot];
    child->freq = counts[freq_slot];
    Set_ID* id = nullptr;
    switch (c.kind) {
      case ExpansionChild::Kind::Character:
        // A child the search will not queue is never read again: its set is
        // not kept, but it is counted as stored, so that the registry's
        // counters and progress marks stay those of a registry that keeps it.
        if (abandonequal == 0 && !c.queued) {
          set_registry->count_unstored_set();
          continue;
        }
        id = abandonequal != 0 ? set_registry->Insert_Set_Copy(expansion.take_set(i), child->freq)
                               : set_registry->Insert_Single_Block(expansion.take_set(i));
        child->set_id = id;
        if (id->node != nullptr) continue;  // an equal set registered before
        break;
      case ExpansionChild::Kind::TakeOver:
        if (!c.queued) continue;
        // The node has been expanded and is never read again: its packed
        // set, moved one place on, is the wildcard child's.
        id = set_registry->new_setid();
        id->set = node->set_id->set;
        node->set_id->set = nullptr;
        packed_positions::move_on(id->set);
        child->set_id = id;
        break;
      case ExpansionChild::Kind::Group:
        if (!c.queued) continue;
        // A group child keeps its set and counts in a handle taken outside
        // the registry's trees and counters: the character children are
        // what the registry stores and counts, and duplicate detection
        // never looked at groups.
        id = set_registry->new_setid();
        id->set = expansion.take_set(i);
        child->set_id = id;
        break;
    }
    id->node = child;
    keep_counts(id, counts);
  }
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
  if (costf == 1) costs_.set(child, costs_.get(node) + charset->cost[x]);

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
    costs_.set(child, static_cast<float>(static_cast<double>(costs_.get(node)) - 3.0 +
                                         static_cast<double>(charset->cost[x])));
}

void GSTree::keep_counts(Set_ID* id, const int* counts) {
  const int slots = nr_classes + 2;
  int* block = set_registry->new_counts(2 * slots);
  std::memcpy(block, counts, sizeof(int) * 2 * slots);
  id->counts = block;
}
