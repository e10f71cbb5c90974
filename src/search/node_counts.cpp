// Counts of a node per class, kept with its registered set so that a set is
// counted once; the count itself is the report's (report/class_counts).
#include <cstring>

#include "search/gstree.h"
#include "sets/set_registry.h"

void GSTree::start_own_count() {
  cur_seq_counts = seq_counts.data();
  cur_pos_counts = pos_counts.data();
}

int GSTree::Count_Nr_of_Classes(const int* set) {
  start_own_count();
  own_->count(set, pos_counts.data(), seq_counts.data());
  return seq_counts[nr_classes + 1];
}

int GSTree::Count_Nr_of_Classes(STree_Node* node, const int* set) {
  Set_ID* id = node->set_id;
  if (id != nullptr && id->counts != nullptr) {
    // Counted before: a character node when it was first counted, a group
    // node when it was made.
    cur_seq_counts = id->counts;
    cur_pos_counts = id->counts + nr_classes + 2;
  } else if (id != nullptr && id->set != nullptr) {
    Count_Nr_of_Classes(set_of(node));
    const int slots = nr_classes + 2;
    int* block = set_registry->new_counts(2 * slots);
    std::memcpy(block, seq_counts.data(), sizeof(int) * slots);
    std::memcpy(block + slots, pos_counts.data(), sizeof(int) * slots);
    id->counts = block;
  } else {
    Count_Nr_of_Classes(set != nullptr ? set : set_of(node));
  }
  return cur_seq_counts[nr_classes + 1];
}
