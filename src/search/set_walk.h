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

inline int set_size(const int* set) { return set[0] >= 0 ? set[0] : ~set[0]; }
