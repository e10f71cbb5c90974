#pragma once
// The registry of stored position sets. Each stored set is reached through a
// handle, Set_ID, which also carries the set's owner node and its cached class
// counts. Sets inserted with Insert_Set live in one ordered search tree per
// slot, so an equal set registered earlier in the same slot is found and its
// handle returned; Insert_Single_Set stores a set without any lookup.
//
// Handles come from blocks of 1000 that are never given back to the
// allocator; freed handles return to a free list (linked through `left`) and
// are handed out again first, last freed first.

#include <memory>
#include <vector>

#include "sets/sets.h"

struct STree_Node;  // the trie node that owns a set; defined by the search

struct Set_ID {
  int* set;          // the registry's own copy, in the preferred representation
  STree_Node* node;  // owner node; null until the caller sets it
  int* counts;       // cached count block from new_counts, or null
  Set_ID* left;      // tree link to smaller sets; also the free-list link
  Set_ID* right;     // tree link to larger sets
};

class Set_of_Sets {
 public:
  Set_of_Sets(int D, int S);
  ~Set_of_Sets();
  Set_of_Sets(const Set_of_Sets&) = delete;
  Set_of_Sets& operator=(const Set_of_Sets&) = delete;

  int domain_size;
  int nr_slots;
  int nr_sets;
  int nr_deleted;
  std::vector<Set_ID*> slots;  // S + 1 tree roots
  Set_ID* free_ids;
  std::unique_ptr<Sets> sets;

  // Stores a copy of `set` in the slot's tree (slots above S use S), or
  // returns the handle of an equal set already there.
  Set_ID* Insert_Set(const int* set, int slot);
  // The same for a copy already made (Sets::min_copy), which the registry
  // takes over (and frees when an equal set is there).
  Set_ID* Insert_Set_Copy(int* copy, int slot);
  // Stores a copy of `set` in a handle of its own, outside every tree.
  Set_ID* Insert_Single_Set(const int* set);
  // The same for a block the caller has made in a form of its own (one
  // malloc'd block, which the registry frees): stored as it is and counted
  // like any other set.
  Set_ID* Insert_Single_Block(int* block);
  // Frees the set and count block of `id` and of every handle below it and
  // returns them all to the free list; 0 for null, else 1.
  int delete_set(Set_ID* id);
  // Deletes the whole tree of the slot: 1, or 0 when the slot is out of
  // range or empty.
  int Delete_all_sets_from_slot(int slot);
  int count_treenodes(Set_ID* id) const;
  // A cleared handle from the free list, which is refilled by a new block.
  Set_ID* new_setid();
  // Writes the per-slot report of the stored sets to the report's stream.
  void test() const;
  // A zeroed count block of n ints for a handle's `counts`; delete_set frees it.
  int* new_counts(int n);
  // Counts a set the caller chose not to keep (no later step can read it) as
  // if it had been registered and never freed, so counters and progress
  // marks stay those of a registry that stores it.
  void count_unstored_set() { count_new_set(); }
  // Early recycling, for a caller that knows no step will read a handle of
  // no tree again: its set, count block and the handle itself go back at
  // once, but the release is not counted. The caller counts it with
  // count_released_handle at the point where its schedule deletes the set,
  // so the counters and progress marks stay those of that schedule.
  void recycle_handle_early(Set_ID* id);
  void count_released_handle();

 private:
  static constexpr int kBlockSize = 1000;

  void count_new_set();
  void release_handle(Set_ID* id);

  std::vector<std::unique_ptr<Set_ID[]>> id_blocks_;
  // Pending work of delete_set, kept between calls so that deleting a single
  // handle allocates nothing once the stack has grown.
  std::vector<std::pair<Set_ID*, bool>> delete_stack_;
};
