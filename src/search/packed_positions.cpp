#include "search/packed_positions.h"

#include <cstdint>
#include <cstdlib>

#include "run/error.h"

namespace packed_positions {

int* pack(const int* list) {
  const int n = list[0];
  std::size_t bytes = 0;
  int last = -1;
  for (int i = 1; i <= n; ++i) {
    std::uint32_t gap = static_cast<std::uint32_t>(list[i] - last);
    last = list[i];
    do {
      ++bytes;
      gap >>= 7;
    } while (gap != 0);
  }
  const std::size_t words = 2 + (bytes + sizeof(int) - 1) / sizeof(int);
  int* packed = static_cast<int*>(std::malloc(words * sizeof(int)));
  if (packed == nullptr) error("ERR: Set out of memory");
  packed[0] = n;
  packed[1] = static_cast<int>(bytes);
  unsigned char* out = reinterpret_cast<unsigned char*>(packed + 2);
  last = -1;
  for (int i = 1; i <= n; ++i) {
    std::uint32_t gap = static_cast<std::uint32_t>(list[i] - last);
    last = list[i];
    while (gap >= 0x80) {
      *out++ = static_cast<unsigned char>(gap | 0x80);
      gap >>= 7;
    }
    *out++ = static_cast<unsigned char>(gap);
  }
  return packed;
}

int* unpack(const int* packed, int* out) {
  const int n = packed[0];
  const unsigned char* in = reinterpret_cast<const unsigned char*>(packed + 2);
  int last = -1;
  for (int i = 1; i <= n; ++i) {
    std::uint32_t gap = *in++;
    if (gap >= 0x80) {
      gap &= 0x7F;
      int shift = 7;
      std::uint32_t b;
      do {
        b = *in++;
        gap |= (b & 0x7F) << shift;
        shift += 7;
      } while (b >= 0x80);
    }
    last += static_cast<int>(gap);
    out[i] = last;
  }
  out[0] = n;
  return out;
}

}  // namespace packed_positions
