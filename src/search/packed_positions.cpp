#include "search/packed_positions.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "run/error.h"
#include "sets/set_walk.h"

namespace packed_positions {

namespace {

constexpr std::size_t kHeader = 4;
constexpr std::size_t kPad = 3;
constexpr int kVarint = 0;
constexpr int kControlled = 1;

// The bytes of gap d (less one) that its length code says are kept.
constexpr std::uint32_t kMask[4] = {0xFFu, 0xFFFFu, 0xFFFFFFu, 0xFFFFFFFFu};

inline unsigned length_code(std::uint32_t d) {
  return static_cast<unsigned>(d > 0xFFu) + static_cast<unsigned>(d > 0xFFFFu) +
         static_cast<unsigned>(d > 0xFFFFFFu);
}

unsigned char* write_varints(const int* list, unsigned char* out) {
  const int n = list[0];
  int last = -1;
  for (int i = 1; i <= n; ++i) {
    std::uint32_t d = static_cast<std::uint32_t>(list[i] - last - 1);
    last = list[i];
    while (d >= 0x80) {
      *out++ = static_cast<unsigned char>(d | 0x80);
      d >>= 7;
    }
    *out++ = static_cast<unsigned char>(d);
  }
  return out;
}

unsigned char* write_controlled(const int* list, unsigned char* out) {
  const int n = list[0];
  unsigned char* control = out;
  out += (static_cast<std::size_t>(n) + 3) / 4;
  // Four bytes are written for every gap, the next gap overwriting those it
  // does not keep.
  int last = -1;
  auto put = [&](int i) {
    const std::uint32_t d = static_cast<std::uint32_t>(list[i] - last - 1);
    last = list[i];
    const unsigned code = length_code(d);
    out[0] = static_cast<unsigned char>(d);
    out[1] = static_cast<unsigned char>(d >> 8);
    out[2] = static_cast<unsigned char>(d >> 16);
    out[3] = static_cast<unsigned char>(d >> 24);
    out += code + 1;
    return code;
  };
  int i = 1;
  for (; i + 3 <= n; i += 4) {
    const unsigned c0 = put(i), c1 = put(i + 1), c2 = put(i + 2), c3 = put(i + 3);
    control[(i - 1) >> 2] = static_cast<unsigned char>(c0 | c1 << 2 | c2 << 4 | c3 << 6);
  }
  unsigned tail = 0;
  for (int k = 0; i + k <= n; ++k) tail |= put(i + k) << (2 * k);
  if (i <= n) control[(i - 1) >> 2] = static_cast<unsigned char>(tail);
  return out;
}

void read_varints(const unsigned char* in, int n, int* out) {
  int last = -1;
  for (int i = 1; i <= n; ++i) {
    std::uint32_t d = *in++;
    if (d >= 0x80) {
      d &= 0x7F;
      int shift = 7;
      std::uint32_t b;
      do {
        b = *in++;
        d |= (b & 0x7F) << shift;
        shift += 7;
      } while (b >= 0x80);
    }
    last += static_cast<int>(d) + 1;
    out[i] = last;
  }
}

void read_controlled(const unsigned char* control, int n, int* out) {
  const unsigned char* in = control + (static_cast<std::size_t>(n) + 3) / 4;
  int last = -1;
  // No branch on a gap's length: every gap is read as four bytes and masked.
  auto get = [&](int i, unsigned code) {
    const std::uint32_t word = static_cast<std::uint32_t>(in[0]) |
                               static_cast<std::uint32_t>(in[1]) << 8 |
                               static_cast<std::uint32_t>(in[2]) << 16 |
                               static_cast<std::uint32_t>(in[3]) << 24;
    last += static_cast<int>(word & kMask[code]) + 1;
    out[i] = last;
    in += code + 1;
  };
  int i = 1;
  for (; i + 3 <= n; i += 4) {
    const unsigned c = control[(i - 1) >> 2];
    get(i, c & 3u);
    get(i + 1, (c >> 2) & 3u);
    get(i + 2, (c >> 4) & 3u);
    get(i + 3, c >> 6);
  }
  for (unsigned c = i <= n ? control[(i - 1) >> 2] : 0; i <= n; ++i, c >>= 2) get(i, c & 3u);
}

}  // namespace

int* pack(const int* list, std::vector<unsigned char>& scratch) {
  const int n = list[0];
  // Decided by the mean gap, which costs no pass over the list. Between
  // about 96 and 512 varints mix one- and two-byte gaps, and reading them
  // mispredicts a branch at every change; the controlled form takes about as
  // many bytes there and reads them with no branch. Elsewhere nearly every
  // varint has the same length (so its one test a gap is decided the same
  // way every time), and it takes a quarter of a byte less a gap.
  const long long span = n > 0 ? static_cast<long long>(list[n]) + 1 : 0;
  const int form = span >= 96LL * n && span < 512LL * n ? kControlled : kVarint;
  const std::size_t count = static_cast<std::size_t>(n);
  const std::size_t most = form == kControlled ? (count + 3) / 4 + 4 * count : 5 * count;
  // Written into the scratch, then copied into a block of the size it needs.
  const std::size_t room = most + kPad;
  if (scratch.size() < room) scratch.resize(room);
  unsigned char* end = form == kControlled ? write_controlled(list, scratch.data())
                                           : write_varints(list, scratch.data());
  const std::size_t bytes = static_cast<std::size_t>(end - scratch.data());
  // The controlled reader loads four bytes at a time: room for them after
  // the last gap.
  const std::size_t words = kHeader + (bytes + kPad + sizeof(int) - 1) / sizeof(int);
  int* packed = static_cast<int*>(std::malloc(words * sizeof(int)));
  if (packed == nullptr) error("ERR: Set out of memory");
  packed[0] = n;
  packed[1] = static_cast<int>(bytes);
  packed[2] = 0;
  packed[3] = form;
  unsigned char* body = reinterpret_cast<unsigned char*>(packed + kHeader);
  std::memcpy(body, scratch.data(), bytes);
  std::memset(body + bytes, 0, kPad);
  return packed;
}

int* unpack(const int* packed, int* out) {
  const int n = packed[0];
  const unsigned char* body = reinterpret_cast<const unsigned char*>(packed + kHeader);
  if (packed[3] == kControlled)
    read_controlled(body, n, out);
  else
    read_varints(body, n, out);
  out[0] = n;
  return out;
}

void apply_offset(int* list, int offset, const unsigned char* coded, const bool* crossable) {
  // In place: the kept positions never outrun the ones read (the walk reads
  // a few elements ahead, which are not written yet either).
  int kept = 0;
  for_each_element_prefetching(
      list, 0,
      [&](int q) {
        const int p = moved_position(q, offset, coded, crossable);
        if (p >= 0) list[++kept] = p;
      },
      coded);
  list[0] = kept;
}

}  // namespace packed_positions
