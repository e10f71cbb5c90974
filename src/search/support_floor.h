#pragma once
#include <algorithm>

// The fewest sequences a node must be held by to be queued or expanded,
// beyond -minstrings. A run that controls the family-wise error raises it
// while the search goes: the patterns found so far show that a pattern held
// by fewer sequences could never be significant, and neither could any
// pattern that extends it (it is held by no more sequences).
class SupportFloor {
 public:
  virtual ~SupportFloor() = default;
  int value() const { return value_; }
  // Whether the search tells of each pattern it queues at a reported level
  // (by the sequences holding it): a pattern queued is one the search will
  // test unless the floor passes it first, so counting it then lets the
  // floor rise before its turn.
  bool wants_queued() const { return wants_queued_; }
  virtual void queued(int /*sequences*/) {}

 protected:
  void raise_to(int value) { value_ = std::max(value_, value); }
  bool wants_queued_ = false;

 private:
  int value_ = 0;
};
