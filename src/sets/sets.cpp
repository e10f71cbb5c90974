#include "sets/sets.h"

#include <cstdlib>
#include <cstring>

#include "run/error.h"
#include "run/memory_advice.h"

int size_mask[256];

namespace {

constexpr int kMaxDomain = kMaxSetDomain;
constexpr int kListMarker = 2147483647;

int* allocate_words(std::size_t words, bool zeroed) {
  if (words > SIZE_MAX / sizeof(int)) error("ERR: Set out of memory");
  void* block = zeroed ? std::calloc(words, sizeof(int)) : std::malloc(words * sizeof(int));
  if (block == nullptr) error("ERR: Set out of memory");
  // The bit arrays of large inputs are walked whole, word by word.
  advise_huge_pages(block, words * sizeof(int));
  return static_cast<int*>(block);
}

// Bits of one data word: the sum of `size_mask` over its four bytes. Counted
// with bit arithmetic, since the baseline instruction set has no population
// count and the builtin would become a library call per word.
inline int word_size(std::uint32_t v) {
  v = v - ((v >> 1) & 0x55555555u);
  v = (v & 0x33333333u) + ((v >> 2) & 0x33333333u);
  return static_cast<int>((((v + (v >> 4)) & 0x0F0F0F0Fu) * 0x01010101u) >> 24);
}

}  // namespace

int* BA_Sets::create() const {
  int* set = allocate_words(words(), true);
  set[0] = -1;
  return set;
}

int* L_Sets::create(int m) const {
  if (m < 0) error("ERR: Set out of memory");
  int* set = allocate_words(static_cast<std::size_t>(m) + 1, false);
  set[0] = m;
  for (int i = 1; i <= m; ++i) set[i] = kListMarker;
  return set;
}

Sets::Sets(int D) : domain_size(D) {
  // A negative domain would give arrays of no or negative length.
  if (D > kMaxDomain || D < 0) {
    error("The integer domain of the sets is too large: 0..", static_cast<long long>(D) - 1);
  }
  ba_sets = std::make_unique<BA_Sets>(D);
  l_sets = std::make_unique<L_Sets>(D);
  for (int b = 0; b < 256; ++b) {
    int bits = 0;
    for (int k = 7; k >= 0; --k) bits += (b % (1 << (k + 1))) / (1 << k);
    size_mask[b] = bits;
  }
}

int* Sets::copy(const int* set) const {
  const std::size_t words = words_of(set);
  int* result = allocate_words(words, false);
  std::memcpy(result, set, words * sizeof(int));
  return result;
}

int* Sets::min_copy(const int* set) const {
  if (prefers_list(size(set))) return set[0] < 0 ? Make_L_from_BA(set) : copy(set);
  return set[0] < 0 ? copy(set) : Make_BA_from_L(set);
}

int* Sets::Make_L_from_BA(const int* set) const {
  if (set[0] >= 0) error("Make_L_from_BA: argument is not a BA-type set");
  const int n = size(set);
  int* list = l_sets->create(n);
  const std::size_t data_words = static_cast<std::size_t>(domain_size) / 32 + 1;
  long long found = 0;
  for (std::size_t w = 0; w < data_words; ++w) {
    std::uint32_t bits = static_cast<std::uint32_t>(set[1 + w]);
    while (bits != 0) {
      const long long x = static_cast<long long>(w) * 32 + __builtin_ctz(bits);
      bits &= bits - 1;
      if (x >= domain_size) break;  // outside the domain, not an element
      // A header that undercounts must not let the walk write past the list.
      if (found < n) list[1 + found] = static_cast<int>(x);
      ++found;
    }
  }
  if (found != n) {
    del_set(list);
    error("Make_L_from_BA: size different than expected");
  }
  return list;
}

int* Sets::Make_BA_from_L(const int* set) const {
  if (set[0] < 0) error("Make_BA_from_L: argument is not a List-type set");
  int* bits = ba_sets->create();
  std::uint32_t* words = reinterpret_cast<std::uint32_t*>(bits + 1);
  for (int i = 1; i <= set[0]; ++i) {
    const int x = set[i];
    // An element outside the domain has no bit; writing it would corrupt memory.
    if (x < 0 || x >= domain_size) {
      del_set(bits);
      error("Make_BA_from_L: element outside the domain of the sets:", x);
    }
    words[x >> 5] |= std::uint32_t{1} << (x & 31);
  }
  bits[0] = ~count_bits(bits);  // repeated elements count once
  return bits;
}

int Sets::gcmp(const int* a, const int* b) const {
  // Different headers with one absolute value (a list of n and a bit array of
  // n-1 elements) give 1 both ways; no two sets in their preferred
  // representation meet like that, since it needs n < D/32 <= n-1.
  if (a[0] != b[0]) {
    const long long key_a = a[0] < 0 ? -static_cast<long long>(a[0]) : a[0];
    const long long key_b = b[0] < 0 ? -static_cast<long long>(b[0]) : b[0];
    return key_a < key_b ? -1 : 1;
  }
  const int r = std::memcmp(a, b, words_of(a) * sizeof(int));
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

void Sets::print(const int* set, std::FILE* stream, int mode) const {
  if (set == nullptr) {
    std::fputs(" ERROR: NULL poionter for set ", stream);
    return;
  }
  if (set[0] >= 0) {
    std::fprintf(stream, "%d<L:", set[0]);
    if (mode > 1) {
      for (int i = 1; i <= set[0]; ++i) std::fprintf(stream, ",%d", set[i]);
    }
    std::fputc('>', stream);
    return;
  }
  if (mode >= 4) return;
  if (mode <= 1) {
    std::fprintf(stream, "%d<B:>", size(set));
  } else if (mode == 2) {
    std::fprintf(stream, "%d<B:", size(set));
    const std::size_t data_words = ba_sets->words() - 1;
    for (std::size_t w = 1; w <= data_words; ++w) std::fprintf(stream, ",%d", set[w]);
    std::fputc('>', stream);
  } else {
    std::fprintf(stream, "%d<L:", size(set));
    int cursor = -1;
    for (int x = ba_sets->next(set, cursor); x >= 0; x = ba_sets->next(set, cursor)) {
      std::fprintf(stream, ",%d", x);
    }
    std::fputc('>', stream);
  }
}

void Sets::del_set(int* set) { std::free(set); }

int Sets::count_bits(const int* set) const {
  const std::size_t data_words = ba_sets->words() - 1;
  int n = 0;
  for (std::size_t w = 1; w <= data_words; ++w) n += word_size(static_cast<std::uint32_t>(set[w]));
  return n;
}
