#pragma once
// The part of a node's expansion that reads only the node and the input: the
// distribution of its positions by the code that follows them, its children's
// counts, and their sets in the form the registry keeps. The search commits
// what an expander computed (trie nodes, registry entries, queue, report) in
// its own order, so several expanders, one per thread, may compute the
// expansions of different nodes at once: an expander writes nothing but its
// own scratch and the Expansion it is given.
#include <cstdint>
#include <vector>

#include "search/child_tally.h"

class CHARSET;
class Sets;
class SequenceIndex;
class SupportFloor;
struct STree_Node;

// What every expander of a search reads and no one changes while it runs.
struct SearchInput {
  const CHARSET* charset = nullptr;
  const unsigned char* coded = nullptr;
  int coded_length = 0;
  const SequenceIndex* seq_index = nullptr;
  const unsigned char* class_of_seq = nullptr;
  int nr_classes = 0;
  int total_slot = 0;
  int freq_slot = 0;
  const bool* crossable = nullptr;  // codes a wildcard may stand for
  const long long* occurrences = nullptr;  // of each code in the whole string
  bool packs_sets = false;
  const STree_Node* root = nullptr;
  const Sets* sets = nullptr;
  // A floor that rises as the search goes (null: -minstrings alone); read
  // only where one thread expands.
  const SupportFloor* floor = nullptr;
};

// The children of one expansion, in the order the trie holds them
// (characters, groups, then the children after a flexible gap), with what
// the commit needs of each.
struct ExpansionChild {
  enum class Kind : std::uint8_t { Character, Group, TakeOver };
  std::uint8_t code;  // without the gap's 128
  bool gap;
  bool queued;        // held by enough sequences for the queue
  Kind kind;
  int* set;           // stored form (malloc'd), owned until committed; null when none is kept
};

class Expansion {
 public:
  Expansion() = default;
  Expansion(const Expansion&) = delete;
  Expansion& operator=(const Expansion&) = delete;
  ~Expansion() { clear(); }

  std::vector<ExpansionChild> children;
  // Per child: sequences per class slot, then positions per class slot.
  const int* counts(std::size_t child) const { return counts_.data() + child * stride_; }
  int* add_counts(int stride);
  // Frees the sets not committed and forgets the children.
  void clear();
  // The set of a child, handed over to whoever stores it.
  int* take_set(std::size_t child) {
    int* s = children[child].set;
    children[child].set = nullptr;
    return s;
  }

 private:
  std::vector<int> counts_;
  std::size_t stride_ = 0;
};

class Expander {
 public:
  // `full_size`: the scratch lists take the room of the whole string at once
  // (the search's own expander, which the first, largest expansions need);
  // otherwise each grows to what the largest node it expanded needed.
  Expander(const SearchInput& input, bool full_size);
  Expander(const Expander&) = delete;
  Expander& operator=(const Expander&) = delete;

  // What the search decides when it begins: its root and whether character
  // children keep packed sets, and the sets' domain.
  void start(const STree_Node* root, bool packs_sets, const Sets* sets);
  const SearchInput& input() const { return in_; }

  // Computes the expansion of `node` (children empty: the node gets none).
  void expand(const STree_Node* node, Expansion& out);
  // After a fault thrown out of expand (on a thread computing ahead): the
  // scratch a walk left half prepared is made anew, so that the next
  // expansion starts as from a fresh expander.
  void recover();

  // Whether the set of a node is packed: a group node's always, a character
  // node's (but the root's) where the search packs them.
  bool has_packed_set(const STree_Node* node) const;

  // The position set of a node as stored, unpacked where packed (see
  // packed_positions), with the offset still to be applied.
  const int* stored_set_of(const STree_Node* node, int& offset);
  // The same with the offset applied.
  const int* set_of(const STree_Node* node);
  // Counts a set's positions and sequences per class slot into pos and seq
  // (nr_classes + 2 slots each, cleared first).
  void count(const int* set, int* pos, int* seq) const;

 private:
  int least_support() const;
  int least_positions() const;
  void fit_lists(std::vector<std::vector<int>>& lists, long long bound);
  void gather_gap_children(const STree_Node* node, const int* set, long long bound);
  // A child's counts into the expansion; whether it may be queued.
  bool add_child(Expansion& out, int x, bool gap, ExpansionChild::Kind kind, const int* seq,
                 const int* pos);

  SearchInput in_;
  const bool full_size_;
  std::vector<int> code_counts_;
  std::vector<std::vector<int>> code_positions_;
  std::vector<int> gap_code_counts_;
  std::vector<std::vector<int>> gap_code_positions_;
  ChildTally child_tally_;
  ChildTally gap_tally_;
  std::vector<int> pos_counts_;
  std::vector<int> seq_counts_;
  std::vector<int> unpacked_;
  const STree_Node* unpacked_for_ = nullptr;
  int unpacked_offset_ = 0;
  std::vector<unsigned char> pack_scratch_;
};
