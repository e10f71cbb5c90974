#pragma once
// Sorted positions packed as variable-length gaps, for the position sets the
// search keeps outside the registry (those of group and wildcard children).
// A wildcard child holds about as many positions as all its character
// siblings together; the positions of a large set lie close to each other,
// so most gaps take a single byte instead of the four of a list element.
//
// A packed set is one malloc'd block that Sets::del_set frees: word 0 the
// number of positions, word 1 the number of bytes, then the bytes. Each gap
// (from -1 before the first position) is written 7 bits to a byte, low bits
// first, the high bit set on every byte but the last.

#include <vector>

namespace packed_positions {

// Packs a list-form set (count word first, elements increasing), using
// `scratch` as room to write in.
int* pack(const int* list, std::vector<unsigned char>& scratch);
// Number of positions of a packed set.
inline int size(const int* packed) { return packed[0]; }
// Unpacks into `out`, a list with room for size(packed) elements; returns out.
int* unpack(const int* packed, int* out);

}  // namespace packed_positions
