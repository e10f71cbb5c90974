#pragma once
// The frontier of the search: a binary heap of untyped items with a float
// priority, 1-based (entry 1 is the top, the children of entry i are 2i and
// 2i+1, entry 0 is never used). The queue does not own its items.
//
// Equal priorities are not ordered first-in first-out: which of them leaves
// first is decided by the sift rules below (the left child wins ties), and
// the order of the report depends on exactly that.

#include <memory>

struct pq_entry {
  void* item;
  float priority;
};

class p_queue {
 public:
  // order "MIN" gives the smallest priority first, "MAX" the largest; any
  // other text is reported and taken as "MAX".
  p_queue(int size, const char* order);
  p_queue(const p_queue&) = delete;
  p_queue& operator=(const p_queue&) = delete;

  int size;       // entry index at which the next insertion grows the array
  int increment;  // growth step, the initial size
  int next_free;  // number of items + 1
  int is_max;
  std::unique_ptr<pq_entry[]> entries;  // size + 3 entries

  // Returns the index of the entry where the item was placed.
  int insert(void* item, float priority);
  // The top item, removed; null when the queue is empty.
  void* del_top();

 private:
  bool before(float a, float b) const { return is_max ? a > b : a < b; }
};
