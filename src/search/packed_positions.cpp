#include "search/packed_positions.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "run/error.h"

namespace packed_positions {

namespace {
constexpr std::size_t kHeader = 3;
}  // namespace

int* pack(const int* list, std::vector<unsigned char>& scratch) {
  const int n = list[0];
  // Written once into the scratch (five bytes are enough for any gap), then
  // copied into a block of the size it turned out to need.
  if (scratch.size() < static_cast<std::size_t>(n) * 5) scratch.resize(static_cast<std::size_t>(n) * 5);
  unsigned char* out = scratch.data();
  int last = -1;
  for (int i = 1; i <= n; ++i) {
    std::uint32_t gap = static_cast<std::uint32_t>(list[i] - last);
    last = list[i];
    while (gap >= 0x80) {
      *out++ = static_cast<unsigned char>(gap | 0x80);
      gap >>= 7;
    }
    *out++ = static_cast<unsigned char>(gap);
  }
  const std::size_t bytes = static_cast<std::size_t>(out - scratch.data());
  const std::size_t words = kHeader + (bytes + sizeof(int) - 1) / sizeof(int);
  int* packed = static_cast<int*>(std::malloc(words * sizeof(int)));
  if (packed == nullptr) error("ERR: Set out of memory");
  packed[0] = n;
  packed[1] = static_cast<int>(bytes);
  packed[2] = 0;
  std::memcpy(packed + kHeader, scratch.data(), bytes);
  return packed;
}

int* unpack(const int* packed, int* out) {
  const int n = packed[0];
  const unsigned char* in = reinterpret_cast<const unsigned char*>(packed + kHeader);
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

void apply_offset(int* list, int offset, const unsigned char* coded, const bool* crossable) {
  // The codes lie scattered over the string: those of the element a few steps
  // ahead are requested while this one is looked at. In place: the kept
  // positions never outrun the ones read.
  constexpr int kAhead = 16;
  const int n = list[0];
  int kept = 0;
  for (int i = 1; i <= n; ++i) {
    if (i + kAhead <= n) __builtin_prefetch(coded + list[i + kAhead]);
    const int p = list[i];
    int k = 0;
    while (k < offset && crossable[coded[p + k]]) ++k;
    if (k == offset) list[++kept] = p + offset;
  }
  list[0] = kept;
}

}  // namespace packed_positions
