#include "ends_run.h"
#include "search/p_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Items are the addresses of slots of this array, so they can be told apart.
int items[64];

void* item(int k) { return &items[k]; }

std::vector<int> drain(p_queue& q) {
  std::vector<int> out;
  while (void* p = q.del_top()) out.push_back(static_cast<int>(static_cast<int*>(p) - items));
  return out;
}

std::vector<int> drained(const char* order, const std::vector<float>& priorities) {
  p_queue q(10, order);
  for (std::size_t k = 0; k < priorities.size(); ++k) q.insert(item(static_cast<int>(k)), priorities[k]);
  return drain(q);
}

// The search's frequency orders depend on which of equal priorities leaves first.
TEST(PQueue, EqualPrioritiesLeaveInHeapOrderNotArrivalOrder) {
  // A, B, C, D at entries 1..4: taking A moves D to the top (the left child B
  // does not win against an equal D), then taking D leaves C over B.
  EXPECT_EQ(drained("MIN", {1, 1, 1, 1}), (std::vector<int>{0, 3, 2, 1}));
  // A tie between two children goes to the left one.
  EXPECT_EQ(drained("MIN", {0, 5, 5, 9}), (std::vector<int>{0, 1, 2, 3}));
  // An only child equal to the moving entry stays below it.
  EXPECT_EQ(drained("MIN", {0, 5, 5}), (std::vector<int>{0, 2, 1}));
  EXPECT_EQ(drained("MAX", {1.5f, -3, 9, 0, 9.5f, 2}), (std::vector<int>{4, 2, 5, 0, 3, 1}));
}

TEST(PQueue, InsertReturnsTheEntryIndexAndGrowsByTheIncrementWithAWarning) {
  p_queue q(4, "MIN");
  testing::internal::CaptureStderr();
  EXPECT_EQ(q.insert(item(0), 9.0f), 1);
  EXPECT_EQ(q.insert(item(1), 10.0f), 2);
  EXPECT_EQ(q.insert(item(2), 8.0f), 1);  // sifted to the top, the old top moved down
  EXPECT_EQ(q.entries[3].item, item(0));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  const std::string warning = "\nWarning: Priority queue full, enlarging the queue by 4\n";
  testing::internal::CaptureStderr();
  q.insert(item(3), 7.0f);  // lands at entry 4 = size
  EXPECT_EQ(testing::internal::GetCapturedStderr(), warning);
  EXPECT_EQ(q.size, 8);
  testing::internal::CaptureStderr();
  for (int k = 4; k < 8; ++k) q.insert(item(k), static_cast<float>(10 - k));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), warning);
  EXPECT_EQ(q.size, 12);
  EXPECT_EQ(drain(q), (std::vector<int>{7, 6, 5, 4, 3, 2, 0, 1}));
  EXPECT_EQ(q.del_top(), nullptr);
  EXPECT_EQ(q.next_free, 1);
}

TEST(PQueueDeathTest, UnknownOrderIsTakenAsMaxAndBadSizesAreRefused) {
  testing::internal::CaptureStderr();
  p_queue q(4, "min");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "PRIORITY QUEUE ERROR: Not MIN or MAX. Choose MAXORDER \n\n");
  EXPECT_EQ(q.is_max, 1);
  EXPECT_EXIT(as_process([&] { p_queue(0, "MIN"); }), ::testing::ExitedWithCode(1), "Invalid priority queue size: 0");
  EXPECT_EXIT(as_process([&] { p_queue(-4, "MIN"); }), ::testing::ExitedWithCode(1), "Invalid priority queue size");
}

}  // namespace
