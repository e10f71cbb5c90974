#include "search/p_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// Items are the addresses of slots of this array, so they can be told apart.
int items[64];

void* item(int k) { return &items[k]; }
int index_of(void* p) { return static_cast<int>(static_cast<int*>(p) - items); }

std::vector<int> drain(p_queue& q) {
  std::vector<int> out;
  while (void* p = q.del_top()) out.push_back(index_of(p));
  return out;
}

void expect_heap(const p_queue& q) {
  for (int i = 2; i < q.next_free; ++i) {
    if (q.is_max) {
      ASSERT_LE(q.entries[i].priority, q.entries[i / 2].priority) << i;
    } else {
      ASSERT_GE(q.entries[i].priority, q.entries[i / 2].priority) << i;
    }
  }
}

TEST(PQueue, EmptyQueueGivesNull) {
  p_queue q(10, "MIN");
  EXPECT_EQ(q.del_top(), nullptr);
  q.insert(item(1), 3.0f);
  EXPECT_EQ(q.del_top(), item(1));
  EXPECT_EQ(q.del_top(), nullptr);
  EXPECT_EQ(q.next_free, 1);
  EXPECT_EQ(q.entries[0].item, nullptr);
}

TEST(PQueue, MinOrderWithDuplicates) {
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    p_queue q(8, "MIN");
    std::vector<float> priorities;
    testing::internal::CaptureStderr();  // grows several times
    for (int k = 0; k < 60; ++k) {
      const float p = static_cast<float>(rng() % 6) - 2.0f;
      priorities.push_back(p);
      q.insert(item(k), p);
      expect_heap(q);
    }
    testing::internal::GetCapturedStderr();
    std::vector<float> got;
    std::vector<int> seen;
    while (void* p = q.del_top()) {
      got.push_back(priorities[static_cast<std::size_t>(index_of(p))]);
      seen.push_back(index_of(p));
      expect_heap(q);
    }
    std::sort(priorities.begin(), priorities.end());
    EXPECT_EQ(got, priorities);
    std::sort(seen.begin(), seen.end());
    for (int k = 0; k < 60; ++k) ASSERT_EQ(seen[static_cast<std::size_t>(k)], k);
  }
}

TEST(PQueue, MaxOrder) {
  p_queue q(10, "MAX");
  EXPECT_EQ(q.is_max, 1);
  const float priorities[] = {1.5f, -3.0f, 9.0f, 0.0f, 9.5f, 2.0f};
  for (int k = 0; k < 6; ++k) q.insert(item(k), priorities[k]);
  EXPECT_EQ(drain(q), (std::vector<int>{4, 2, 5, 0, 3, 1}));
}

TEST(PQueue, EqualPrioritiesLeaveInHeapOrderNotArrivalOrder) {
  // Four equal priorities: A, B, C, D at entries 1..4. Taking A moves D to the
  // top (the left child B does not win against an equal D), then taking D
  // leaves C over B.
  p_queue q(10, "MIN");
  for (int k = 0; k < 4; ++k) EXPECT_EQ(q.insert(item(k), 1.0f), k + 1);
  EXPECT_EQ(drain(q), (std::vector<int>{0, 3, 2, 1}));

  // A tie between the two children goes to the left one: with 0, 5, 5, 9 the
  // left 5 rises over the moving 9 and leaves before the right 5.
  p_queue r(10, "MIN");
  const float tied[] = {0.0f, 5.0f, 5.0f, 9.0f};
  for (int k = 0; k < 4; ++k) r.insert(item(k), tied[k]);
  EXPECT_EQ(drain(r), (std::vector<int>{0, 1, 2, 3}));

  // An only child equal to the moving entry stays below it.
  p_queue s(10, "MIN");
  for (int k = 0; k < 3; ++k) s.insert(item(k), k == 0 ? 0.0f : 5.0f);
  EXPECT_EQ(drain(s), (std::vector<int>{0, 2, 1}));
}

TEST(PQueue, InsertReturnsTheEntryIndex) {
  p_queue q(10, "MIN");
  EXPECT_EQ(q.insert(item(0), 5.0f), 1);
  EXPECT_EQ(q.insert(item(1), 6.0f), 2);
  EXPECT_EQ(q.insert(item(2), 4.0f), 1);  // sifted to the top
  EXPECT_EQ(q.entries[3].item, item(0));  // the old top moved down
  EXPECT_EQ(q.entries[2].item, item(1));
}

TEST(PQueue, GrowsByTheIncrementWithAWarning) {
  p_queue q(4, "MIN");
  testing::internal::CaptureStderr();
  for (int k = 0; k < 3; ++k) q.insert(item(k), static_cast<float>(10 - k));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(q.size, 4);

  testing::internal::CaptureStderr();
  q.insert(item(3), 7.0f);  // lands at entry 4 = size
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "\nWarning: Priority queue full, enlarging the queue by 4\n");
  EXPECT_EQ(q.size, 8);
  EXPECT_EQ(q.increment, 4);

  testing::internal::CaptureStderr();
  for (int k = 4; k < 8; ++k) q.insert(item(k), static_cast<float>(10 - k));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "\nWarning: Priority queue full, enlarging the queue by 4\n");
  EXPECT_EQ(q.size, 12);
  EXPECT_EQ(drain(q), (std::vector<int>{7, 6, 5, 4, 3, 2, 1, 0}));
}

TEST(PQueue, UnknownOrderIsReportedAndTakenAsMax) {
  testing::internal::CaptureStderr();
  p_queue q(4, "min");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "PRIORITY QUEUE ERROR: Not MIN or MAX. Choose MAXORDER \n\n");
  EXPECT_EQ(q.is_max, 1);
  testing::internal::CaptureStderr();
  p_queue m(4, "MAX");
  p_queue n(4, "MIN");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(n.is_max, 0);
}

TEST(PQueueDeathTest, SizeWithoutRoomToGrowIsRefused) {
  EXPECT_EXIT(p_queue(0, "MIN"), ::testing::ExitedWithCode(1), "Invalid priority queue size: 0");
  EXPECT_EXIT(p_queue(-4, "MIN"), ::testing::ExitedWithCode(1), "Invalid priority queue size");
}

}  // namespace
