// Occurrence counts per class: positions and distinct sequences of a set.
#include <algorithm>
#include <cstring>

#include "input/input_string.h"
#include "search/gstree.h"
#include "search/set_walk.h"
#include "sets/set_registry.h"

void GSTree::start_own_count() {
  cur_seq_counts = seq_counts.data();
  cur_pos_counts = pos_counts.data();
  std::fill(pos_counts.begin(), pos_counts.end(), 0);
  std::fill(seq_counts.begin(), seq_counts.end(), 0);
}

int GSTree::Count_Nr_of_Classes(const int* set) {
  start_own_count();
  int* pos = pos_counts.data();
  int* seq = seq_counts.data();

  SequenceCursor cursor(*seq_index_, input->class_of_seq.data());
  // The index entry of the element a few steps ahead is asked for early.
  const SequenceIndex& index = *seq_index_;
  auto request = [&index](int q) { index.prefetch(q); };
  int positions = 0;
  int sequences = 0;
  if (nr_classes == 1) {
    // Every sequence is of class 1: only the sequence changes need a lookup.
    // A sequence of class 0 cannot occur with one class, but keep the slots exact.
    positions = set_size(set);
    for_each_element_requesting(
        set, coded_length,
        [&](int p) {
          if (cursor.advance(p)) {
            ++sequences;
            ++seq[cursor.cls];
          }
        },
        request);
    pos[1] = positions - pos[0];
  } else {
    // Positions of one sequence are contiguous in the joined string, so a
    // sequence is counted when the walk enters it.
    for_each_element_requesting(
        set, coded_length,
        [&](int p) {
          ++positions;
          if (cursor.advance(p)) {
            ++sequences;
            ++seq[cursor.cls];
          }
          ++pos[cursor.cls];
        },
        request);
  }
  pos[nr_classes + 1] = positions;
  seq[nr_classes + 1] = sequences;
  return sequences;
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
