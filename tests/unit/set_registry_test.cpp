#include "ends_run.h"
#include "sets/set_registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A list-form set as the search builds it, in a buffer it owns.
std::vector<int> list_of(std::vector<int> elements) {
  elements.insert(elements.begin(), static_cast<int>(elements.size()));
  return elements;
}

// The registry writes a construction line; keep it out of the test log.
struct Registry {
  std::unique_ptr<Set_of_Sets> r;
  Registry(int D, int S) {
    testing::internal::CaptureStdout();
    r = std::make_unique<Set_of_Sets>(D, S);
    testing::internal::GetCapturedStdout();
  }
  Set_of_Sets* operator->() const { return r.get(); }
};

TEST(SetRegistry, EqualSetsMeetInOneSlotOnly) {
  Registry reg(64, 5);
  const std::vector<int> a = list_of({3, 9, 40});
  const std::vector<int> a_again = a;
  Set_ID* first = reg->Insert_Set(a.data(), 2);
  EXPECT_EQ(reg->Insert_Set(a_again.data(), 2), first);
  EXPECT_EQ(a, a_again);  // the caller's arrays are untouched
  int* bits = reg->sets->Make_BA_from_L(a.data());  // the same set as a bit array
  EXPECT_EQ(reg->Insert_Set(bits, 2), first);
  Sets::del_set(bits);
  EXPECT_NE(reg->Insert_Set(a.data(), 3), first);
  Set_ID* high = reg->Insert_Set(a.data(), 99);  // slots above S are slot S
  EXPECT_EQ(reg->Insert_Set(a.data(), 5), high);
  EXPECT_EQ(reg->nr_sets, 3);
  EXPECT_NE(reg->Insert_Single_Set(a.data()), reg->Insert_Single_Set(a.data()));
  EXPECT_EQ(reg->nr_sets, 5);

}

TEST(SetRegistry, DeletedHandlesAreReusedLastFreedFirst) {
  Registry reg(100000, 1);
  // Inserted by size 2, 1, 3, 0: root r2, left r1 (with left r0), right r3.
  const std::vector<int> s2 = list_of({1, 2}), s1 = list_of({5}), s3 = list_of({1, 2, 3}),
                         s0 = list_of({});
  Set_ID* r2 = reg->Insert_Set(s2.data(), 1);
  Set_ID* r1 = reg->Insert_Set(s1.data(), 1);
  Set_ID* r3 = reg->Insert_Set(s3.data(), 1);
  Set_ID* r0 = reg->Insert_Set(s0.data(), 1);
  ASSERT_EQ(r2->left, r1);
  ASSERT_EQ(r2->right, r3);
  ASSERT_EQ(r1->left, r0);
  r2->counts = reg->new_counts(6);
  EXPECT_EQ(reg->Delete_all_sets_from_slot(1), 1);
  EXPECT_EQ(reg->slots[1], nullptr);
  EXPECT_EQ(reg->nr_deleted, 4);
  // Pushed in the order r0, r1, r3, r2: handed out again in reverse, cleared.
  for (Set_ID* expected : {r2, r3, r1, r0}) {
    Set_ID* got = reg->new_setid();
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(!got->set && !got->counts && !got->left && !got->right);
  }
  EXPECT_EQ(reg->free_ids, r0 + 1);  // then the rest of the first block
  EXPECT_EQ(reg->Delete_all_sets_from_slot(1), 0);
  EXPECT_EQ(reg->delete_set(nullptr), 0);

  const std::vector<int> s = list_of({4});
  Set_ID* a = reg->Insert_Single_Set(s.data());
  Set_ID* b = reg->Insert_Single_Set(s.data());
  EXPECT_EQ(reg->delete_set(b), 1);
  EXPECT_EQ(reg->delete_set(a), 1);
  EXPECT_EQ(reg->Insert_Single_Set(s.data()), a);
  EXPECT_EQ(reg->Insert_Single_Set(s.data()), b);
}

TEST(SetRegistry, DegenerateChainIsDeletedAndCountedWithoutDeepRecursion) {
  // Built by hand: a chain as long as this would need that many nested calls.
  Registry reg(64, 1);
  const int length = 300000;
  Set_ID* root = reg->new_setid();
  Set_ID* tail = root;
  tail->set = reg->sets->l_sets->create(0);
  for (int i = 1; i < length; ++i) {
    Set_ID* next = reg->new_setid();
    next->set = reg->sets->l_sets->create(0);
    (i % 2 ? tail->right : tail->left) = next;
    tail = next;
  }
  EXPECT_EQ(reg->count_treenodes(root), length);
  testing::internal::CaptureStderr();
  EXPECT_EQ(reg->delete_set(root), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string(length / 1000, '\xAC'));
  EXPECT_EQ(reg->new_setid(), root);  // post-order: the root was pushed last
}

TEST(SetRegistry, ProgressMarksPerThousand) {
  Registry reg(1 << 20, 2);
  std::vector<int> single = list_of({0});
  testing::internal::CaptureStderr();
  for (int i = 0; i < 999; ++i) {
    single[1] = i;
    reg->Insert_Set(single.data(), 1);
  }
  single[1] = 5;
  for (int i = 0; i < 2000; ++i) reg->Insert_Set(single.data(), 1);  // not new
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  testing::internal::CaptureStderr();
  single[1] = 999;
  reg->Insert_Single_Set(single.data());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), ":");

  testing::internal::CaptureStderr();
  reg->Delete_all_sets_from_slot(1);  // 999 handles
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  reg->Insert_Set(single.data(), 2);
  testing::internal::CaptureStderr();
  reg->Delete_all_sets_from_slot(2);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "\xAC");
}

TEST(SetRegistryDeathTest, RefusesWhatItCannotStore) {
  EXPECT_EXIT(as_process([&] { Registry(2147483647, 3); }), ::testing::ExitedWithCode(1),
              "The integer domain of the sets is too large: 0.. 2147483646");
  EXPECT_EXIT(as_process([&] { Registry(100, -1); }), ::testing::ExitedWithCode(1), "negative number of set-collections");
  Registry reg(100, 2);
  const std::vector<int> s = list_of({1});
  EXPECT_EXIT(as_process([&] { reg->Insert_Set(s.data(), -1); }), ::testing::ExitedWithCode(1), "negative slot");
  EXPECT_EQ(reg->Delete_all_sets_from_slot(-1), 0);
}

}  // namespace
