// Occurrence counts per class: positions and distinct sequences of a set.
#include "report/class_counts.h"

#include <algorithm>

#include "input/sequence_index.h"
#include "sets/set_walk.h"

int Count_Nr_of_Classes(const ClassLookup& lookup, const int* set, int* pos, int* seq) {
  const int nr_classes = lookup.nr_classes;
  std::fill(pos, pos + nr_classes + 2, 0);
  std::fill(seq, seq + nr_classes + 2, 0);
  SequenceCursor cursor(*lookup.seq_index, lookup.class_of_seq);
  // The index entry of the element a few steps ahead is asked for early.
  const SequenceIndex& index = *lookup.seq_index;
  auto request = [&index](int q) { index.prefetch(q); };
  int positions = 0;
  int sequences = 0;
  const bool sparse = sparse_in_sequences(set_size(set), index);
  if (sparse) {
    // Each position's sequence looked up, a new one counted without a branch.
    // With one class every position counts for class 1, as below.
    const bool single = nr_classes == 1;
    int last = -1;
    for_each_element_requesting(
        set, lookup.domain,
        [&](int p) {
          ++positions;
          cursor.locate(p);
          const int fresh = cursor.seq != last;
          last = cursor.seq;
          sequences += fresh;
          seq[cursor.cls] += fresh;
          ++pos[single ? 1 : cursor.cls];
        },
        request);
  } else if (nr_classes == 1) {
    // Every sequence is of class 1: only the sequence changes need a lookup.
    // A sequence of class 0 cannot occur with one class, but keep the slots exact.
    positions = set_size(set);
    for_each_element_requesting(
        set, lookup.domain,
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
        set, lookup.domain,
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
