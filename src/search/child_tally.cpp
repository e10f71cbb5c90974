#include "search/child_tally.h"

#include <algorithm>

#include "alphabet/charset.h"

bool ChildTally::prepare(const CHARSET& charset, int nr_classes, int first_group, int last_group) {
  slots_ = nr_classes + 2;
  stride_ = 1 + 2 * slots_;
  // With one class every position counts for class 1, as the plain count
  // of a set has it.
  single_class_ = nr_classes == 1;
  const int alphabet_size = charset.alphabet_size;
  const int codes = charset.total_codes;
  counts_.assign(static_cast<std::size_t>(codes + 1) * stride_, 0);
  std::fill(counted_, counted_ + 256, false);
  std::fill(totalled_, totalled_ + 256, false);
  targets_.clear();
  bool any = false;
  for (int x = 0; x <= alphabet_size; ++x) {
    begin_[x] = static_cast<int>(targets_.size());
    if (x == 0) continue;
    const unsigned char* row = charset.members[x];
    const std::size_t start = targets_.size();
    for (int i = 1; i <= row[0]; ++i) {
      const int g = row[i];
      if (g < first_group || g > last_group) continue;
      if (targets_.size() == start) targets_.push_back(static_cast<std::uint8_t>(x));
      targets_.push_back(static_cast<std::uint8_t>(g));
    }
    // A character is counted only where a group needs its sequence anyway.
    for (std::size_t i = start; i < targets_.size(); ++i) counted_[targets_[i]] = true;
    any = any || targets_.size() != start;
  }
  begin_[alphabet_size + 1] = static_cast<int>(targets_.size());
  active_ = any;
  return any;
}

const int* ChildTally::counts(int x) {
  int* row = counts_.data() + static_cast<std::size_t>(x) * stride_ + 1;
  if (!totalled_[x]) {
    const int total = slots_ - 1;
    int sequences = 0, positions = 0;
    for (int c = 0; c < total; ++c) {
      sequences += row[c];
      positions += row[slots_ + c];
    }
    row[total] = sequences;
    row[slots_ + total] = positions;
    totalled_[x] = true;
  }
  return row;
}
