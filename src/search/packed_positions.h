#pragma once
// Sorted positions packed as gaps of one to four bytes, for the position
// sets that searches with groups or wildcards keep in their queue. A
// wildcard child holds about as many positions as all its character
// siblings together; the positions of a large set lie close to each other,
// so most gaps take a byte or two instead of the four of a list element.
//
// A packed set is one malloc'd block that Sets::del_set frees: word 0 the
// number of positions stored, word 1 the number of bytes, word 2 an offset
// (below), word 3 the form of the bytes, then the bytes. Each gap is stored
// less one and counted from -1 before the first position, in one of two
// forms chosen by the set's mean gap:
// - varints: 7 bits to a byte, low bits first, the high bit set on every
//   byte but the last; where nearly every gap has the same length;
// - controlled: a control byte for every four gaps (two bits a gap, its
//   length in bytes less one, the first gap in the low bits), then the gaps
//   in one to four bytes, least significant first; where gap lengths mix,
//   since their lengths are then read without a branch per gap.
//
// A wildcard child's positions are its parent's moved one place on, less
// those whose next code cannot be crossed (a sequence end or a STOP). Such a
// set is kept as the parent's block with its offset raised by one instead of
// a copy of about the same size: the set it stands for is that of each stored
// position p whose codes p .. p + offset - 1 can all be crossed, moved to
// p + offset.

#include <vector>

namespace packed_positions {

// Packs a list-form set (count word first, elements increasing), using
// `scratch` as room to write in.
int* pack(const int* list, std::vector<unsigned char>& scratch);
// Number of positions stored in a packed set (before its offset is applied).
inline int size(const int* packed) { return packed[0]; }
inline int offset(const int* packed) { return packed[2]; }
// Makes the block stand for its set moved one place on (see above).
inline void move_on(int* packed) { ++packed[2]; }
// Unpacks the stored positions into `out`, a list with room for
// size(packed) elements; returns out. The offset is not applied.
int* unpack(const int* packed, int* out);
// The position stored position q stands for under an offset: q + offset
// when its next `offset` codes are all `crossable` (indexed by code), else -1.
inline int moved_position(int q, int offset, const unsigned char* coded, const bool* crossable) {
  for (int k = 0; k < offset; ++k)
    if (!crossable[coded[q + k]]) return -1;
  return q + offset;
}
// Applies an offset to an unpacked list in place.
void apply_offset(int* list, int offset, const unsigned char* coded, const bool* crossable);

}  // namespace packed_positions
