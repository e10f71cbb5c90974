#include "sets/sets.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

// Owns a set array for the duration of a test.
struct SetPtr {
  int* p;
  explicit SetPtr(int* set) : p(set) {}
  ~SetPtr() { Sets::del_set(p); }
  SetPtr(const SetPtr&) = delete;
  SetPtr& operator=(const SetPtr&) = delete;
  operator int*() const { return p; }
};

int* make_list(const Sets& sets, const std::vector<int>& elements) {
  int* list = sets.l_sets->create(static_cast<int>(elements.size()));
  for (std::size_t i = 0; i < elements.size(); ++i) list[i + 1] = elements[i];
  return list;
}

std::vector<int> walk(const Sets& sets, const int* set) {
  std::vector<int> out;
  int cursor = -1;
  for (int x = sets.next(set, cursor); x >= 0; x = sets.next(set, cursor)) out.push_back(x);
  EXPECT_EQ(cursor, -1);
  return out;
}

std::string printed(const Sets& sets, const int* set, int mode) {
  char* buffer = nullptr;
  std::size_t length = 0;
  std::FILE* stream = open_memstream(&buffer, &length);
  sets.print(set, stream, mode);
  std::fclose(stream);
  std::string text(buffer, length);
  std::free(buffer);
  return text;
}

struct ListForm {
  static int* make(const Sets& sets, const std::vector<int>& elements) {
    return make_list(sets, elements);
  }
  static bool is_list() { return true; }
};

struct BitForm {
  static int* make(const Sets& sets, const std::vector<int>& elements) {
    SetPtr list(make_list(sets, elements));
    return sets.Make_BA_from_L(list);
  }
  static bool is_list() { return false; }
};

// Sorted distinct elements of 0..D-1, always with the word-boundary cases
// that fall inside the domain.
std::vector<int> sample(int D, int n, unsigned seed) {
  n = std::min(n, D);
  if (n == D) {
    std::vector<int> all(static_cast<std::size_t>(D));
    for (int x = 0; x < D; ++x) all[static_cast<std::size_t>(x)] = x;
    return all;
  }
  std::mt19937 rng(seed);
  std::set<int> chosen;
  for (int x : {0, 31, 32, 63, D - 1}) {
    if (x >= 0 && x < D && static_cast<int>(chosen.size()) < n) chosen.insert(x);
  }
  std::uniform_int_distribution<int> pick(0, D - 1);
  while (static_cast<int>(chosen.size()) < n) chosen.insert(pick(rng));
  return {chosen.begin(), chosen.end()};
}

template <typename Form>
class SetContract : public ::testing::Test {};
using Forms = ::testing::Types<ListForm, BitForm>;
TYPED_TEST_SUITE(SetContract, Forms);

TYPED_TEST(SetContract, WalksElementsInOrderAndRestartsWithTheSameCursor) {
  for (int D : {1, 31, 32, 33, 64, 1000, 100003}) {
    Sets sets(D);
    for (int wanted : {0, 1, 2, 40, D}) {
      const std::vector<int> elements = sample(D, wanted, static_cast<unsigned>(D * 7 + wanted));
      const int n = static_cast<int>(elements.size());
      SetPtr set(TypeParam::make(sets, elements));
      ASSERT_EQ(set.p[0] >= 0, TypeParam::is_list());
      EXPECT_EQ(Sets::size(set), n) << "D=" << D;
      EXPECT_EQ(walk(sets, set), elements) << "D=" << D << " n=" << n;

      // The same cursor runs a second complete pass, through the
      // representation's own walker too.
      int cursor = -1;
      std::vector<int> second;
      for (int x;;) {
        x = TypeParam::is_list() ? sets.l_sets->next(set, cursor) : sets.ba_sets->next(set, cursor);
        if (x < 0) break;
        second.push_back(x);
      }
      EXPECT_EQ(second, elements);
      EXPECT_EQ(cursor, -1);
      EXPECT_EQ(sets.next(set, cursor), n ? elements[0] : -1);
    }
  }
}

TYPED_TEST(SetContract, EmptySetEndsAtOnce) {
  Sets sets(64);
  SetPtr set(TypeParam::make(sets, {}));
  int cursor = -1;
  EXPECT_EQ(sets.next(set, cursor), -1);
  EXPECT_EQ(cursor, -1);
  EXPECT_EQ(Sets::size(set), 0);
}

TYPED_TEST(SetContract, CopiesKeepTheElementsAndCompareEqual) {
  for (int D : {64, 1000, 4096}) {
    Sets sets(D);
    for (int n : {0, 1, D / 32 - 1, D / 32, D / 32 + 1, D / 2}) {
      const std::vector<int> elements = sample(D, n, static_cast<unsigned>(n + 1));
      SetPtr set(TypeParam::make(sets, elements));
      SetPtr copy(sets.copy(set));
      for (std::size_t w = 0; w < sets.words_of(set); ++w) ASSERT_EQ(copy.p[w], set.p[w]);
      EXPECT_EQ(sets.gcmp(set, copy), 0);

      SetPtr min(sets.min_copy(set));
      EXPECT_EQ(min.p[0] >= 0, n < D / 32) << "D=" << D << " n=" << n;
      EXPECT_EQ(Sets::size(min), n);
      EXPECT_EQ(walk(sets, min), elements);
      // Mode 3 writes the list form in both representations.
      EXPECT_EQ(printed(sets, set, 3), printed(sets, min, 3));
    }
  }
}

TYPED_TEST(SetContract, DifferentSetsOfOneSizeNeverCompareEqual) {
  Sets sets(256);
  SetPtr a(TypeParam::make(sets, {1, 2, 200}));
  SetPtr b(TypeParam::make(sets, {1, 2, 201}));
  SetPtr c(TypeParam::make(sets, {0, 2, 200}));
  for (const int* x : {a.p, b.p, c.p}) {
    for (const int* y : {a.p, b.p, c.p}) {
      EXPECT_EQ(sets.gcmp(x, y), -sets.gcmp(y, x));
      EXPECT_EQ(sets.gcmp(x, y) == 0, x == y);
    }
  }
}

TEST(Sets, SizeMaskCountsBitsOfEveryByte) {
  Sets sets(64);
  for (int b = 0; b < 256; ++b) EXPECT_EQ(size_mask[b], __builtin_popcount(b)) << b;
}

TEST(Sets, FreshArraysHaveTheirExactLayout) {
  Sets sets(64);
  SetPtr bits(sets.ba_sets->create());
  EXPECT_EQ(sets.words_of(bits), 4u);  // 64/32 + 2: one spare data word
  EXPECT_EQ(bits.p[0], -1);
  for (int w = 1; w < 4; ++w) EXPECT_EQ(bits.p[w], 0);

  SetPtr list(sets.l_sets->create(3));
  EXPECT_EQ(list.p[0], 3);
  for (int w = 1; w <= 3; ++w) EXPECT_EQ(list.p[w], 2147483647);
  SetPtr empty(sets.l_sets->create(0));
  EXPECT_EQ(empty.p[0], 0);
  EXPECT_EQ(sets.words_of(empty), 1u);
}

TEST(Sets, PreferredRepresentationInADomainOf64) {
  Sets sets(64);
  SetPtr one(make_list(sets, {17}));
  SetPtr one_min(sets.min_copy(one));
  EXPECT_EQ(one_min.p[0], 1);
  EXPECT_EQ(one_min.p[1], 17);

  SetPtr one_bits(sets.Make_BA_from_L(one));
  SetPtr back(sets.min_copy(one_bits));
  EXPECT_EQ(back.p[0], 1);
  EXPECT_EQ(back.p[1], 17);

  SetPtr two(make_list(sets, {5, 40}));
  SetPtr two_min(sets.min_copy(two));
  EXPECT_EQ(two_min.p[0], -3);
  EXPECT_EQ(two_min.p[1], 1 << 5);
  EXPECT_EQ(two_min.p[2], 1 << 8);
  EXPECT_EQ(two_min.p[3], 0);
}

TEST(Sets, BitArrayWalkSkipsEmptyWordsAndStopsAtTheDomain) {
  Sets sets(1000000);
  SetPtr far(BitForm::make(sets, {0, 999999}));
  EXPECT_EQ(walk(sets, far), (std::vector<int>{0, 999999}));

  // D = 64 has a spare data word whose bits lie at 64 and above: a stray bit
  // there is not an element.
  Sets small(64);
  SetPtr bits(BitForm::make(small, {63}));
  bits.p[3] = 1;
  EXPECT_EQ(walk(small, bits), std::vector<int>{63});
  // Nor are the bits above D inside the last word of an odd-sized domain.
  Sets odd(40);
  SetPtr odd_bits(BitForm::make(odd, {39}));
  odd_bits.p[2] |= 1 << 8;  // element 40
  EXPECT_EQ(walk(odd, odd_bits), std::vector<int>{39});
}

TEST(Sets, ListToBitArrayCountsEachElementOnce) {
  Sets sets(100);
  SetPtr list(make_list(sets, {5, 5, 7}));
  SetPtr bits(sets.Make_BA_from_L(list));
  EXPECT_EQ(bits.p[0], ~2);
  EXPECT_EQ(sets.count_bits(bits), 2);
}

TEST(Sets, OrderIsBySizeFirst) {
  Sets sets(1000);
  SetPtr small(make_list(sets, {900, 901, 902}));
  SetPtr large(make_list(sets, {1, 2, 3, 4}));
  EXPECT_EQ(sets.gcmp(small, large), -1);
  EXPECT_EQ(sets.gcmp(large, small), 1);
  // A bit array of n elements has key n + 1 and orders after a list of n.
  SetPtr bits(BitForm::make(sets, {1, 2, 3}));
  EXPECT_EQ(sets.gcmp(small, bits), -1);
  SetPtr larger(make_list(sets, {1, 2, 3, 4, 5}));
  EXPECT_EQ(sets.gcmp(bits, larger), -1);
  EXPECT_EQ(sets.gcmp(larger, bits), 1);
}

TEST(Sets, PrintModes) {
  Sets sets(64);
  SetPtr list(make_list(sets, {3, 7}));
  EXPECT_EQ(printed(sets, list, 2), "2<L:,3,7>");
  EXPECT_EQ(printed(sets, list, 1), "2<L:>");
  EXPECT_EQ(printed(sets, list, 4), "2<L:,3,7>");

  SetPtr bits(BitForm::make(sets, {0, 31, 33}));
  EXPECT_EQ(printed(sets, bits, 1), "3<B:>");
  EXPECT_EQ(printed(sets, bits, -5), "3<B:>");
  EXPECT_EQ(printed(sets, bits, 2), "3<B:,-2147483647,2,0>");
  EXPECT_EQ(printed(sets, bits, 3), "3<L:,0,31,33>");
  EXPECT_EQ(printed(sets, bits, 4), "");
  EXPECT_EQ(printed(sets, nullptr, 2), " ERROR: NULL poionter for set ");
  Sets::del_set(nullptr);
}

using SetsDeathTest = ::testing::Test;

TEST(SetsDeathTest, DomainLimit) {
  EXPECT_EXIT(Sets(60000000), ::testing::ExitedWithCode(1),
              "^The integer domain of the sets is too large: 0.. 59999999\n$");
  EXPECT_EXIT(Sets(-5), ::testing::ExitedWithCode(1), "too large");
  Sets largest(59999999);
  EXPECT_EQ(largest.domain_size, 59999999);
}

TEST(SetsDeathTest, ConversionsCheckTheirArgument) {
  Sets sets(64);
  SetPtr list(make_list(sets, {1, 2}));
  SetPtr bits(BitForm::make(sets, {1, 2}));
  EXPECT_EXIT(sets.Make_L_from_BA(list), ::testing::ExitedWithCode(1),
              "^Make_L_from_BA: argument is not a BA-type set\n$");
  EXPECT_EXIT(sets.Make_BA_from_L(bits), ::testing::ExitedWithCode(1),
              "^Make_BA_from_L: argument is not a List-type set\n$");
  // Headers that over- and undercount the bits; the undercount must not
  // write past the new list.
  bits.p[0] = ~3;
  EXPECT_EXIT(sets.Make_L_from_BA(bits), ::testing::ExitedWithCode(1),
              "^Make_L_from_BA: size different than expected\n$");
  bits.p[0] = ~0;
  EXPECT_EXIT(sets.Make_L_from_BA(bits), ::testing::ExitedWithCode(1),
              "^Make_L_from_BA: size different than expected\n$");
}

TEST(SetsDeathTest, ListElementOutsideTheDomainIsRefused) {
  Sets sets(64);
  SetPtr unfilled(sets.l_sets->create(2));  // still holds the markers
  EXPECT_EXIT(sets.Make_BA_from_L(unfilled), ::testing::ExitedWithCode(1),
              "Make_BA_from_L: element outside the domain of the sets: 2147483647");
  SetPtr negative(make_list(sets, {-1}));
  EXPECT_EXIT(sets.Make_BA_from_L(negative), ::testing::ExitedWithCode(1), "outside the domain");
  SetPtr edge(make_list(sets, {64}));
  EXPECT_EXIT(sets.Make_BA_from_L(edge), ::testing::ExitedWithCode(1), "outside the domain");
}

}  // namespace
