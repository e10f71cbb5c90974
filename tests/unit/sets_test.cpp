#include "ends_run.h"
#include "sets/sets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
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

int* make_bits(const Sets& sets, const std::vector<int>& elements) {
  SetPtr list(make_list(sets, elements));
  return sets.Make_BA_from_L(list);
}

std::vector<int> walk(const Sets& sets, const int* set) {
  std::vector<int> out;
  int cursor = -1;
  for (int x = sets.next(set, cursor); x >= 0; x = sets.next(set, cursor)) out.push_back(x);
  EXPECT_EQ(cursor, -1);
  return out;
}

// Sorted distinct elements of 0..D-1, with the word-boundary cases that fit.
std::vector<int> sample(int D, int n, unsigned seed) {
  n = std::min(n, D);
  std::set<int> chosen;
  for (int x : {0, 31, 32, 63, D - 1})
    if (x < D && static_cast<int>(chosen.size()) < n) chosen.insert(x);
  std::mt19937 rng(seed);
  while (static_cast<int>(chosen.size()) < n) chosen.insert(static_cast<int>(rng() % D));
  return {chosen.begin(), chosen.end()};
}

// The shared contract of both representations.
template <bool Bits>
struct Form {
  static constexpr bool bits = Bits;
  static int* make(const Sets& sets, const std::vector<int>& e) {
    return Bits ? make_bits(sets, e) : make_list(sets, e);
  }
  static int own_next(const Sets& sets, const int* set, int& cursor) {
    return Bits ? sets.ba_sets->next(set, cursor) : sets.l_sets->next(set, cursor);
  }
};
template <typename F>
class SetContract : public ::testing::Test {};
using Forms = ::testing::Types<Form<false>, Form<true>>;
TYPED_TEST_SUITE(SetContract, Forms);

TYPED_TEST(SetContract, WalksInOrderAndTheSameCursorRunsASecondPass) {
  for (int D : {1, 31, 32, 33, 64, 1000, 100003}) {
    Sets sets(D);
    for (int wanted : {0, 1, 2, 40, D}) {
      const std::vector<int> elements = sample(D, wanted, static_cast<unsigned>(D * 7 + wanted));
      SetPtr set(TypeParam::make(sets, elements));
      ASSERT_EQ(set.p[0] < 0, TypeParam::bits);
      EXPECT_EQ(Sets::size(set), static_cast<int>(elements.size()));
      EXPECT_EQ(walk(sets, set), elements) << "D=" << D;
      // One cursor for two complete passes, the second through the form's own walker.
      int cursor = -1;
      std::vector<int> first, second;
      for (int x; (x = sets.next(set, cursor)) >= 0;) first.push_back(x);
      for (int x; (x = TypeParam::own_next(sets, set, cursor)) >= 0;) second.push_back(x);
      EXPECT_EQ(first, elements);
      EXPECT_EQ(second, elements);
      EXPECT_EQ(cursor, -1);
    }
  }
}

TYPED_TEST(SetContract, CopiesCompareEqualAndMinCopyPicksTheSmallerForm) {
  for (int D : {64, 1000, 4096}) {
    Sets sets(D);
    for (int n : {0, 1, D / 32 - 1, D / 32, D / 32 + 1, D / 2}) {
      const std::vector<int> elements = sample(D, n, static_cast<unsigned>(n + 1));
      SetPtr set(TypeParam::make(sets, elements));
      SetPtr copy(sets.copy(set));
      EXPECT_EQ(sets.gcmp(set, copy), 0);
      SetPtr min(sets.min_copy(set));
      EXPECT_EQ(min.p[0] >= 0, n < D / 32) << "D=" << D << " n=" << n;  // a list below D/32
      EXPECT_EQ(walk(sets, min), elements);
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

TEST(Sets, BitArrayEdges) {
  Sets sets(1000000);
  SetPtr far(make_bits(sets, {0, 999999}));
  EXPECT_EQ(walk(sets, far), (std::vector<int>{0, 999999}));
  // Bits at or above D (the spare word of D = 64, the tail of the last word
  // of D = 40) are not elements.
  Sets small(64);
  SetPtr bits(make_bits(small, {63}));
  bits.p[3] = 1;
  EXPECT_EQ(walk(small, bits), std::vector<int>{63});
  Sets odd(40);
  SetPtr odd_bits(make_bits(odd, {39}));
  odd_bits.p[2] |= 1 << 8;
  EXPECT_EQ(walk(odd, odd_bits), std::vector<int>{39});
  // A repeated list element is one element.
  SetPtr twice(make_bits(sets, {5, 5, 7}));
  EXPECT_EQ(sets.count_bits(twice), 2);
  EXPECT_EQ(twice.p[0], ~2);
}

TEST(Sets, OrderIsBySizeFirstAndABitArrayOfNOrdersAfterAListOfN) {
  Sets sets(1000);
  SetPtr small(make_list(sets, {900, 901, 902}));
  SetPtr large(make_list(sets, {1, 2, 3, 4}));
  SetPtr bits(make_bits(sets, {1, 2, 3}));
  SetPtr larger(make_list(sets, {1, 2, 3, 4, 5}));
  EXPECT_EQ(sets.gcmp(small, large), -1);
  EXPECT_EQ(sets.gcmp(large, small), 1);
  EXPECT_EQ(sets.gcmp(small, bits), -1);
  EXPECT_EQ(sets.gcmp(bits, larger), -1);
  EXPECT_EQ(sets.gcmp(larger, bits), 1);
}

TEST(SetsDeathTest, RefusesBadDomainsAndArguments) {
  // Every position 32-bit positions address, and the two entries past the end.
  EXPECT_EXIT(as_process([&] { Sets(2147483646); }), ::testing::ExitedWithCode(1),
              "^The integer domain of the sets is too large: 0.. 2147483645\n$");
  EXPECT_EXIT(as_process([&] { Sets(-5); }), ::testing::ExitedWithCode(1), "too large");
  Sets sets(64);
  SetPtr list(make_list(sets, {1, 2}));
  SetPtr bits(make_bits(sets, {1, 2}));
  EXPECT_EXIT(as_process([&] { sets.Make_L_from_BA(list); }), ::testing::ExitedWithCode(1),
              "^Make_L_from_BA: argument is not a BA-type set\n$");
  EXPECT_EXIT(as_process([&] { sets.Make_BA_from_L(bits); }), ::testing::ExitedWithCode(1),
              "^Make_BA_from_L: argument is not a List-type set\n$");
  // Headers that over- and undercount the bits; the undercount must not
  // write past the new list.
  for (int header : {~3, ~0}) {
    bits.p[0] = header;
    EXPECT_EXIT(as_process([&] { sets.Make_L_from_BA(bits); }), ::testing::ExitedWithCode(1),
                "^Make_L_from_BA: size different than expected\n$");
  }
  SetPtr unfilled(sets.l_sets->create(2));  // still holds the markers
  EXPECT_EXIT(as_process([&] { sets.Make_BA_from_L(unfilled); }), ::testing::ExitedWithCode(1),
              "Make_BA_from_L: element outside the domain of the sets: 2147483647");
  for (int outside : {-1, 64}) {
    SetPtr bad(make_list(sets, {outside}));
    EXPECT_EXIT(as_process([&] { sets.Make_BA_from_L(bad); }), ::testing::ExitedWithCode(1), "outside the domain");
  }
}

}  // namespace
