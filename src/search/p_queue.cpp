#include "search/p_queue.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#include "run/error.h"

namespace {

std::unique_ptr<pq_entry[]> new_entries(int size) {
  // size + 3 entries; the caller has kept size below INT_MAX - 3.
  std::unique_ptr<pq_entry[]> entries(new (std::nothrow) pq_entry[static_cast<std::size_t>(size) + 3]());
  if (!entries) error("ERROR: Memory allocation failed: priority queue of size", size);
  return entries;
}

}  // namespace

p_queue::p_queue(int size, const char* order) : size(size), increment(size), next_free(1), is_max(1) {
  // With no room to grow by, the queue would write past its array.
  if (size < 1 || size > INT_MAX - 3) error("ERROR: Invalid priority queue size:", size);
  entries = new_entries(size);
  if (order != nullptr && std::strcmp(order, "MIN") == 0) {
    is_max = 0;
  } else if (order == nullptr || std::strcmp(order, "MAX") != 0) {
    std::fputs("PRIORITY QUEUE ERROR: Not MIN or MAX. Choose MAXORDER \n\n", stderr);
  }
  entries[0] = pq_entry{nullptr, 0.0f};
}

int p_queue::insert(void* item, float priority) {
  int i = next_free;
  if (i >= size) {
    if (size > INT_MAX - 3 - increment) error("ERROR: Priority queue cannot grow beyond", size);
    std::fprintf(stderr, "\nWarning: Priority queue full, enlarging the queue by %d\n", increment);
    std::fflush(stderr);
    size += increment;
    std::unique_ptr<pq_entry[]> grown = new_entries(size);
    std::memcpy(grown.get(), entries.get(), static_cast<std::size_t>(i) * sizeof(pq_entry));
    entries = std::move(grown);
  }
  ++next_free;
  while (i > 1 && before(priority, entries[i / 2].priority)) {
    entries[i] = entries[i / 2];
    i /= 2;
  }
  entries[i] = pq_entry{item, priority};
  return i;
}

void* p_queue::del_top() {
  if (next_free == 1) return nullptr;
  void* top = entries[1].item;
  const int last = --next_free;
  const pq_entry moving = entries[last];
  entries[last].item = nullptr;
  long long i = 1;
  for (;;) {
    const long long j = 2 * i;
    long long child;
    if (j + 1 < last) {
      child = before(entries[j + 1].priority, entries[j].priority) ? j + 1 : j;
    } else if (j < last) {
      child = j;
    } else {
      break;
    }
    if (!before(entries[child].priority, moving.priority)) break;
    entries[i] = entries[child];
    i = child;
    if (child == j && j + 1 >= last) break;  // an only child ends the sift
  }
  entries[i] = moving;
  return top;
}
