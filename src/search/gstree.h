#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "run/globals.h"
#include "search/expander.h"
#include "search/node_costs.h"
#include "search/support_floor.h"

class input_string;
class CHARSET;
class Sets;
class Set_of_Sets;
struct Set_ID;
class p_queue;
class Results;
class ProgressMeter;
class Lookahead;

// One trie node, or (as record 0 of a children block) the block header.
// In a header `nr_groups` counts the children not yet expanded and
// `children` names the node the block belongs to; the accessors below give
// those two uses their own names.
struct STree_Node {
  std::uint8_t code;         // edge code; +128 when reached through a flexible gap
  std::uint8_t nr_children;  // non-zero only in a block header
  std::uint8_t level;
  std::int8_t gap_count;
  std::uint8_t nr_groups;
  std::int8_t wc_left;
  std::uint8_t wc_run;
  // Sequences and positions (of the -freq class) holding the pattern: full
  // counts, so that no input size wraps them. The cost of -costf 1 lives
  // beside the node (NodeCosts).
  std::int32_t nr_seqs;
  std::int32_t freq;
  STree_Node* children;
  Set_ID* set_id;

  std::uint8_t& nr_unexpanded() { return nr_groups; }
  STree_Node*& parent() { return children; }
  STree_Node* parent() const { return children; }
};
static_assert(sizeof(STree_Node) == 32, "a trie node must stay at 32 bytes");

// The header of the block that holds `node`: the nearest record before it
// (or itself) whose nr_children is not 0.
inline STree_Node* block_header(STree_Node* node) {
  while (node->nr_children == 0) --node;
  return node;
}
inline STree_Node* parent_of(STree_Node* node) { return block_header(node)->parent(); }

// Whether the search queues a child with these counts (else the child is
// never reported, expanded or read again).
inline bool may_be_queued(const STree_Node* child, int minstrings) {
  return child->nr_seqs != 0 && child->nr_seqs >= minstrings;
}

// Whether a node stands for a character (directly or after a gap) rather
// than a group; the registry stores and counts the sets of these only.
inline bool is_character_node(const STree_Node* node, int alphabet_size) {
  return (node->code > 128 ? node->code - 128 : node->code) <= alphabet_size;
}

// Candidate counts of groups E in first..last from their member characters,
// and the removal of rare characters that no surviving group needs.
// Counts below least_positions (-minpos, or a rising support floor) count as 0.
void sum_group_counts(const CHARSET& charset, int* counts, int first, int last, int least_positions);
void prune_rare_characters(const CHARSET& charset, int* counts, int least_positions);

// Refuses settings that would index the per-class arrays of this input out of range.
void check_search_settings(const input_string& input);

class GSTree {
 public:
  // `results` takes the accepted patterns (null: nothing does), `progress`
  // shows the search's progress (null: only the classic marks), `floor` may
  // rise above -minstrings while the search runs (null: it never does).
  explicit GSTree(input_string* input, Results* results = nullptr, ProgressMeter* progress = nullptr,
                  SupportFloor* floor = nullptr);
  GSTree(const GSTree&) = delete;
  GSTree& operator=(const GSTree&) = delete;
  ~GSTree();

  // The registry of the search's position sets; exists once the search (or
  // start_registry) has begun.
  const Set_of_Sets& registry() const;
  // Starts the registry the search keeps its sets in, as the search's first
  // step does, for callers that register sets before counting them. A
  // registry started before is released with every set in it.
  Set_of_Sets& start_registry();
  // The counts of the set counted last: slot 0..nr_classes per class, slot
  // nr_classes + 1 for all classes together.
  const int* current_pos_counts() const { return cur_pos_counts; }
  const int* current_seq_counts() const { return cur_seq_counts; }

  // Expansions computed by `threads` threads in all (the search's own among
  // them) when the search begins; 1: by the search alone.
  void set_threads(int threads) { threads_ = threads; }

  STree_Node* newchildren(int n);
  void test();
  int STreePQ();
  int Count_Nr_of_Classes(const int* set);
  int Count_Nr_of_Classes(STree_Node* node, const int* set);

 private:
  // One run of STreePQ, in its steps (search_loop.cpp).
  class SearchLoop;

  const char* treestring(STree_Node* node);

  // The state of the search, read and changed by the trie's own operations only.
  int freq_slot;
  int total_slot;
  input_string* input;
  CHARSET* charset;
  int nr_classes;
  unsigned char* coded_string;
  int coded_length;
  STree_Node* root_block;
  Set_of_Sets* set_registry;
  Sets* sets;
  int* cur_pos_counts;
  std::vector<int> pos_counts;
  int* cur_seq_counts;
  std::vector<int> seq_counts;
  // Where accepted patterns go: the sinks the run's options chose (the
  // report lines among them); null when nothing takes them.
  Results* results;
  // Readable progress on standard error (-progress); null without it.
  ProgressMeter* progress;
  // A floor under the sequences of the nodes queued, raised by the results
  // as they find it (null: -minstrings alone).
  SupportFloor* floor_;
  // The fewest sequences a node must be held by to be queued now.
  int least_support() const { return floor_ == nullptr ? minstrings : std::max(minstrings, floor_->value()); }
  // The fewest positions a child must have: a child held by fewer
  // sequences than the floor has fewer positions too.
  int least_positions() const { return floor_ == nullptr ? minpos : std::max(minpos, floor_->value()); }

  STree_Node* insertchildren(STree_Node* node);
  // Makes the children an expansion found: the trie's block, the registry's
  // sets and counts, in the children's order.
  STree_Node* commit_expansion(STree_Node* node, Expansion& expansion);
  // Points the current counts at the own arrays.
  void start_own_count();
  int handle_equal_nodes(STree_Node* n);
  int Propagate_cost(STree_Node* n, float d);
  int Propagate_Best_pat(STree_Node* n);

  // Children blocks are carved from large chunks: nodes are never released
  // or moved, so node pointers stay valid for the whole run.
  std::vector<std::unique_ptr<STree_Node[]>> node_chunks_;
  NodeCosts costs_;
  std::size_t chunk_used_ = 0;
  std::size_t chunk_size_ = 0;
  std::unique_ptr<Set_of_Sets> registry_;
  std::unique_ptr<p_queue> queue_;
  std::string long_pattern_;  // spelling of patterns too long for TMPSTRING
  // The codes from the parent of the block spelled last up to the root:
  // nodes taken one after the other are mostly siblings, so a pattern is
  // spelled from its own code and this prefix. Not used when equal sets can
  // move subtrees (abandonequal), which changes the chains.
  const STree_Node* prefix_header_ = nullptr;
  std::string prefix_codes_;

  long long occurrences_[256] = {};
  SearchInput search_input_;
  // The search's own expander (and its unpacked sets for the report), the
  // expansion it fills, and the threads that compute ahead (null: none).
  std::unique_ptr<Expander> own_;
  Expansion own_expansion_;
  std::unique_ptr<Lookahead> lookahead_;
  std::vector<int> totals_;  // what total_string_count points to once the search began
  int threads_ = 1;

  // Whether the sets of character children are kept packed too: where
  // groups or wildcards make the queue hold many large sets, packing them
  // saves a fifth of the memory for a pass that costs about nothing beside
  // the search. Gap children's sets are read again so soon and so often that
  // packing them costs a sixth of the time. Duplicate detection compares
  // sets as the registry stores them, so it keeps them unpacked.
  bool packs_sets_ = false;
  // The position set of a node that is reported or expanded (every such
  // node keeps one); a packed set comes unpacked as a list.
  const int* set_of(STree_Node* node) { return own_->set_of(node); }
  bool has_packed_set(const STree_Node* node) const { return own_->has_packed_set(node); }
  void fill_regular_child(STree_Node* node, STree_Node* child, int x);
  void fill_gap_child(STree_Node* node, STree_Node* child, int x);
  // A child's count block (sequences, then positions, per class slot), kept
  // with its handle so that it is never counted again.
  void keep_counts(Set_ID* id, const int* counts);
  bool crossable_[256] = {};  // codes a wildcard may stand for
  void print_abandon(const char* verdict, STree_Node* first, STree_Node* second);
};
