#pragma once
#include <cstdint>

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

// The same, for a walk that reads table[p] of each given table at every
// element: a list's elements are scattered over the input, so the table
// entries of the element a few steps ahead are requested from memory while
// this one is visited. A bit array is walked in order and needs no help.
template <typename Visit, typename... Table>
inline void for_each_element_prefetching(const int* set, int domain_size, Visit&& visit,
                                         const Table*... tables) {
  const int header = set[0];
  if (header < 0) {
    for_each_element(set, domain_size, visit);
    return;
  }
  constexpr int kAhead = 16;
  int i = 1;
  for (; i + kAhead <= header; ++i) {
    (__builtin_prefetch(tables + set[i + kAhead]), ...);
    visit(set[i]);
  }
  for (; i <= header; ++i) visit(set[i]);
}

// The sequence (and its class) of positions visited in increasing order.
// Positions of one sequence are contiguous, so the tables are read only when
// a position lies past the end of the sequence seen last: a large set is
// walked with a lookup per sequence instead of one per element.
struct SequenceCursor {
  const std::uint16_t* seq_of_pos;
  const int* seq_end;
  const unsigned char* class_of_seq;
  int end = -1;
  int seq = 0;
  int cls = 0;

  // Moves to the sequence of p; true when it is another sequence.
  bool advance(int p) {
    if (p <= end) return false;
    seq = seq_of_pos[p];
    end = seq_end[seq];
    cls = class_of_seq[seq];
    return true;
  }
};

inline int set_size(const int* set) { return set[0] >= 0 ? set[0] : ~set[0]; }
