// Packed position sets must give back exactly the list they were made from,
// whatever the gaps between positions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "search/packed_positions.h"
#include "sets/sets.h"

namespace {

std::vector<int> round_trip(const std::vector<int>& elements, std::vector<unsigned char>& scratch) {
  std::vector<int> list = elements;
  list.insert(list.begin(), static_cast<int>(elements.size()));
  int* packed = packed_positions::pack(list.data(), scratch);
  EXPECT_EQ(packed_positions::size(packed), static_cast<int>(elements.size()));
  std::vector<int> out(elements.size() + 1, -7);
  packed_positions::unpack(packed, out.data());
  Sets::del_set(packed);
  EXPECT_EQ(out[0], static_cast<int>(elements.size()));
  return std::vector<int>(out.begin() + 1, out.end());
}

TEST(PackedPositions, GapsOfEveryByteLengthComeBackExactly) {
  std::vector<unsigned char> scratch;
  // Position 0, gaps at the one-, two- and three-byte borders, the largest
  // domain; as many as make a control byte's four gaps and a partial one.
  const std::vector<int> borders = {0,      1,      257,      258,      65794,
                                    65795,  16843011, 16843012, 59999998, 59999999};
  EXPECT_EQ(round_trip(borders, scratch), borders);
  // The first gap past each border.
  const std::vector<int> past = {256, 65793, 16843010, 33620227};
  EXPECT_EQ(round_trip(past, scratch), past);
  EXPECT_TRUE(round_trip({}, scratch).empty());
  EXPECT_EQ(round_trip({127}, scratch), std::vector<int>{127});
}

TEST(PackedPositions, DenseAndSparseRandomSetsTakeTheirSizeInBytesAndComeBack) {
  std::mt19937 random(17);
  std::vector<unsigned char> scratch(3);  // too small: packing must make room
  for (int spread : {2, 40, 400, 5000, 3000000}) {
    std::vector<int> elements;
    int p = 0;
    for (int i = 0; i < 20000 && p < 59000000; ++i) {
      p += 1 + static_cast<int>(random() % static_cast<unsigned>(spread));
      elements.push_back(p);
    }
    EXPECT_EQ(round_trip(elements, scratch), elements) << "spread " << spread;
  }
  // A set whose gaps are all below 128 takes a byte per position.
  std::vector<int> dense(1000);
  for (int i = 0; i < 1000; ++i) dense[i] = 3 * i + 5;
  std::vector<int> list = dense;
  list.insert(list.begin(), 1000);
  int* packed = packed_positions::pack(list.data(), scratch);
  EXPECT_EQ(packed[1], 1000);
  Sets::del_set(packed);
}

TEST(PackedPositions, ASetOfMixedGapLengthsWithEveryBorderComesBack) {
  // A mean gap of a few hundred (one- and two-byte gaps mixed) with a gap
  // on each side of every byte border among them, and a length that leaves
  // a partial group of four at the end.
  std::vector<int> elements;
  int p = 3;
  const std::vector<int> borders = {256, 257, 65536, 65537, 16777216, 16777217};
  for (int i = 0; i < 100003; ++i) {
    p += i % 16667 == 5 ? borders[static_cast<std::size_t>(i / 16667)] : 150 + i % 7;
    elements.push_back(p);
  }
  ASSERT_LT(p, 60000000);
  std::vector<unsigned char> scratch;
  EXPECT_EQ(round_trip(elements, scratch), elements);
}

TEST(PackedPositions, AnOffsetMovesThePositionsWhoseNextCodesCanAllBeCrossed) {
  // Codes: 0 the separator, 3 a STOP; a position stays for offset k only when
  // its k codes are crossable, and comes back moved k places on.
  const std::vector<unsigned char> coded = {0, 1, 2, 0, 1, 3, 2, 2, 1, 0, 0, 0};
  bool crossable[256] = {};
  crossable[1] = crossable[2] = true;
  std::vector<unsigned char> scratch;
  std::vector<int> list = {7, 1, 2, 4, 5, 6, 7, 8};
  int* packed = packed_positions::pack(list.data(), scratch);
  EXPECT_EQ(packed_positions::offset(packed), 0);
  for (int k = 1; k <= 3; ++k) {
    packed_positions::move_on(packed);
    ASSERT_EQ(packed_positions::offset(packed), k);
    std::vector<int> out(list.size(), -7);
    packed_positions::unpack(packed, out.data());
    EXPECT_EQ(out, list) << "the stored positions come back unmoved";
    packed_positions::apply_offset(out.data(), k, coded.data(), crossable);
    std::vector<int> expected;
    for (int i = 1; i <= list[0]; ++i) {
      bool all = true;
      for (int j = 0; j < k; ++j) all = all && crossable[coded[list[i] + j]];
      if (all) expected.push_back(list[i] + k);
    }
    EXPECT_EQ(std::vector<int>(out.begin() + 1, out.begin() + 1 + out[0]), expected) << "offset " << k;
  }
  Sets::del_set(packed);
  // Spelled out for offset 1: position 5 holds the STOP, every other one crosses.
  std::vector<int> one = list;
  packed_positions::apply_offset(one.data(), 1, coded.data(), crossable);
  EXPECT_EQ(std::vector<int>(one.begin() + 1, one.begin() + 1 + one[0]),
            (std::vector<int>{2, 3, 5, 7, 8, 9}));
}

}  // namespace
