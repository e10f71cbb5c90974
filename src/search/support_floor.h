#pragma once
#include <algorithm>

// The fewest sequences a node must be held by to be queued or expanded,
// beyond -minstrings. A run that controls the family-wise error raises it
// while the search goes: the patterns found so far show that a pattern held
// by fewer sequences could never be significant, and neither could any
// pattern that extends it (it is held by no more sequences).
class SupportFloor {
 public:
  int value() const { return value_; }
  void raise_to(int value) { value_ = std::max(value_, value); }

 private:
  int value_ = 0;
};
