#pragma once
#include <cstdint>
#include <limits>
#include <vector>

#include "input/sequence_index.h"

// Visits the elements of a position set in increasing order. Lists are read
// straight from their words and bit arrays a word at a time, so the hot
// loops of the search pay neither a call nor a bit test per empty position.
template <typename Visit>
inline void for_each_element(const int* set, int domain_size, Visit&& visit) {
  const int header = set[0];
  if (header >= 0) {
    for (int i = 1; i <= header; ++i) visit(set[i]);
    return;
  }
  const int words = domain_size / 32 + 1;
  for (int w = 0; w < words; ++w) {
    std::uint32_t bits = static_cast<std::uint32_t>(set[w + 1]);
    while (bits != 0) {
      visit(w * 32 + __builtin_ctz(bits));
      bits &= bits - 1;
    }
  }
}

// The same, for a walk whose visit reads memory that depends on the element:
// a list's elements are scattered over the input, so `request(q)` is called
// for the element q a few steps ahead (to ask for what visiting it will
// read) while this one is visited. A bit array is walked in order and needs
// no help.
template <typename Visit, typename Request>
inline void for_each_element_requesting(const int* set, int domain_size, Visit&& visit,
                                        Request&& request) {
  const int header = set[0];
  if (header < 0) {
    for_each_element(set, domain_size, visit);
    return;
  }
  constexpr int kAhead = 16;
  int i = 1;
  for (; i + kAhead <= header; ++i) {
    request(set[i + kAhead]);
    visit(set[i]);
  }
  for (; i <= header; ++i) visit(set[i]);
}

// A walk that reads table[p] of each given table at every element p.
template <typename Visit, typename... Table>
inline void for_each_element_prefetching(const int* set, int domain_size, Visit&& visit,
                                         const Table*... tables) {
  for_each_element_requesting(set, domain_size, visit,
                              [&](int q) { (__builtin_prefetch(tables + q), ...); });
}

// The sequence (and its class) of positions visited in increasing order.
// Positions of one sequence are contiguous, so the index is consulted only
// when a position lies past the end of the sequence seen last: a large set
// is walked with a lookup per sequence instead of one per element.
struct SequenceCursor {
  const SequenceIndex* index;
  const unsigned char* class_of_seq;
  int end = -1;
  int seq = 0;
  int cls = 0;

  SequenceCursor(const SequenceIndex& index, const unsigned char* class_of_seq)
      : index(&index), class_of_seq(class_of_seq) {}

  // Moves to the sequence of p; true when it is another sequence.
  bool advance(int p) {
    if (p <= end) return false;
    seq = index->seq_of(p);
    end = index->end_of(seq);
    cls = class_of_seq[seq];
    return true;
  }

  // The same for a sparse set, whose positions mostly lie in sequences of
  // their own: whether p is past the end seen last is then as good as random,
  // and a mispredicted branch a position costs more than looking the sequence
  // up every time. Two steps along the ends without a branch cover a block
  // holding up to two sequence ends; the loop after them takes the rest (as
  // in seq_of, which the cursor's own lookups keep: there a sequence change
  // is rare and the loop's end well predicted).
  // Leaves `end` alone: a walk uses one form or the other throughout.
  void locate(int p) {
    int s = index->first_of(p);
    s += index->end_of(s) < p;
    s += index->end_of(s) < p;
    while (index->end_of(s) < p) ++s;
    seq = s;
    cls = class_of_seq[s];
  }
};

// Whether a walk over a set of this many positions should look each
// position's sequence up (SequenceCursor::locate) rather than follow the
// sequence ends: when the positions are fewer than eight a sequence
// (bench_sets: the lookup wins at 7 a sequence, the cursor's branch at 14).
inline bool sparse_in_sequences(int positions, const SequenceIndex& index) {
  return positions < 8LL * index.sequences();
}

inline int set_size(const int* set) { return set[0] >= 0 ? set[0] : ~set[0]; }
