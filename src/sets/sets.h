#pragma once
// Position sets: bare int arrays over the integer domain 0..D-1 whose header
// word tags the representation by its sign.
//
//   header >= 0   sorted list: header = n, elements in words 1..n (n+1 words)
//   header <  0   bit array:   header = ~n, element x is bit x%32 of word
//                 x/32+1; always D/32+2 words, bits >= D stay 0
//
// A set is walked with a caller-owned cursor that starts at -1; `next`
// returns the elements in increasing order, then -1, and puts the cursor back
// to -1 so that the same cursor can start another pass. Walking allocates
// nothing, and the bit-array walk jumps over empty words.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

// The largest domain the position sets take (elements 0..kMaxSetDomain-1):
// every position of the largest joined input 32-bit positions address, with
// room for the two closing entries past its end.
constexpr int kMaxSetDomain = 2147483647 - 2;

// Number of 1-bits of each byte value; filled by the Sets constructor.
extern int size_mask[256];

namespace set_cursor {

// Bit array: the cursor is the last element returned.
inline int bit_array_next(const int* set, int& cursor, int domain) {
  if (cursor < -1 || cursor >= domain - 1) {
    cursor = -1;
    return -1;
  }
  const unsigned from = static_cast<unsigned>(cursor + 1);
  unsigned word = from >> 5;
  // Bits below `from` are masked off rather than shifted out, so the result
  // is the word's base plus its lowest remaining bit.
  std::uint32_t bits = static_cast<std::uint32_t>(set[1 + word]) & (~std::uint32_t{0} << (from & 31));
  if (bits == 0) {
    // The last data word is D/32 (0-based), one more than strictly needed
    // when D is a multiple of 32; its bits are all >= D then.
    const unsigned last_word = static_cast<unsigned>(domain) >> 5;
    do {
      if (++word > last_word) {
        cursor = -1;
        return -1;
      }
      bits = static_cast<std::uint32_t>(set[1 + word]);
    } while (bits == 0);
  }
  const int found = static_cast<int>((word << 5) | static_cast<unsigned>(__builtin_ctz(bits)));
  if (found >= domain) {
    cursor = -1;
    return -1;
  }
  cursor = found;
  return found;
}

// List: the cursor is the 0-based index of the last element returned.
inline int list_next(const int* set, int& cursor) {
  if (cursor >= -1 && cursor < set[0] - 1) {
    ++cursor;
    return set[cursor + 1];
  }
  cursor = -1;
  return -1;
}

}  // namespace set_cursor

class BA_Sets {
 public:
  explicit BA_Sets(int D) : domain_size(D) {}
  int domain_size;

  // A new empty bit array: header -1, D/32+1 zero data words.
  int* create() const;
  int next(const int* set, int& cursor) const {
    return set_cursor::bit_array_next(set, cursor, domain_size);
  }
  // Words of every bit array of this domain, header included.
  std::size_t words() const { return static_cast<std::size_t>(domain_size) / 32 + 2; }
};

class L_Sets {
 public:
  explicit L_Sets(int D) : domain_size(D) {}
  int domain_size;

  // A new list of capacity m: header m, m slots holding 2147483647.
  int* create(int m) const;
  int next(const int* set, int& cursor) const { return set_cursor::list_next(set, cursor); }
};

class Sets {
 public:
  // Fatal when D > 59999999 (or negative).
  explicit Sets(int D);
  Sets(const Sets&) = delete;
  Sets& operator=(const Sets&) = delete;

  int domain_size;
  std::unique_ptr<BA_Sets> ba_sets;
  std::unique_ptr<L_Sets> l_sets;

  // The header of a list, or the complement of a bit array's header.
  static int size(const int* set) { return set[0] >= 0 ? set[0] : ~set[0]; }
  int next(const int* set, int& cursor) const {
    return set[0] < 0 ? set_cursor::bit_array_next(set, cursor, domain_size)
                      : set_cursor::list_next(set, cursor);
  }

  // A set of n elements is kept as a list when n < D/32, else as a bit array.
  bool prefers_list(int n) const { return n < domain_size / 32; }

  int* copy(const int* set) const;
  int* min_copy(const int* set) const;
  int* Make_L_from_BA(const int* set) const;
  int* Make_BA_from_L(const int* set) const;
  // Total order: by |header|, then by the arrays' bytes; 0 only for equal arrays.
  int gcmp(const int* a, const int* b) const;
  void print(const int* set, std::FILE* stream, int mode) const;
  static void del_set(int* set);

  // Elements of a bit array counted over its data words with `size_mask`
  // (what its header must say).
  int count_bits(const int* set) const;

  // Number of words of the array, header included.
  std::size_t words_of(const int* set) const {
    return set[0] < 0 ? ba_sets->words() : static_cast<std::size_t>(set[0]) + 1;
  }
};
