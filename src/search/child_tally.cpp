#include "search/child_tally.h"

#include <algorithm>
#include <new>

#include "alphabet/charset.h"
#include "run/error.h"

void ChildTally::reserve(const CHARSET& charset, const long long* occurrences) {
  for (int g = charset.alphabet_size + 1; g <= charset.total_codes; ++g) {
    const unsigned char* row = charset.members[g];
    long long room = 2;
    for (int i = 1; i <= row[0]; ++i) room += occurrences[row[i]];
    capacity_[g] = room;
  }
}

bool ChildTally::prepare(const CHARSET& charset, int nr_classes, int first_group, int last_group,
                         int unlisted, long long bound) {
  // Nodes expanded one after the other mostly gather the same groups: the
  // member table of a window is built once and kept until the window changes.
  if (first_group != window_first_ || last_group != window_last_ || unlisted != window_unlisted_ ||
      nr_classes + 2 != slots_) {
    window_first_ = first_group;
    window_last_ = last_group;
    window_unlisted_ = unlisted;
    slots_ = nr_classes + 2;
    stride_ = 1 + 2 * slots_;
    // With one class every position counts for class 1, as the plain count
    // of a set has it.
    single_class_ = nr_classes == 1;
    const int alphabet_size = charset.alphabet_size;
    counts_.assign(static_cast<std::size_t>(charset.total_codes + 1) * stride_, 0);
    std::fill(counted_, counted_ + 256, false);
    targets_.clear();
    gathered_.clear();
    for (int x = 0; x <= alphabet_size; ++x) {
      begin_[x] = static_cast<int>(targets_.size());
      listed_end_[x] = begin_[x];
      if (x == 0) continue;
      // The listed groups first, the unlisted one after them.
      const unsigned char* row = charset.members[x];
      bool in_unlisted = false;
      for (int i = 1; i <= row[0]; ++i) {
        const int g = row[i];
        if (g < first_group || g > last_group) continue;
        counted_[x] = counted_[g] = true;
        if (g == unlisted)
          in_unlisted = true;
        else
          targets_.push_back(static_cast<std::uint8_t>(g));
      }
      listed_end_[x] = static_cast<int>(targets_.size());
      if (in_unlisted) targets_.push_back(static_cast<std::uint8_t>(unlisted));
    }
    begin_[alphabet_size + 1] = static_cast<int>(targets_.size());
    for (int x = 1; x <= charset.total_codes; ++x)
      if (counted_[x]) gathered_.push_back(x);
  } else {
    for (int x : gathered_) {
      std::fill_n(counts_.data() + static_cast<std::size_t>(x) * stride_, stride_, 0);
      counted_[x] = true;
    }
  }
#ifdef MORVA_INJECT_FAULTS
  // A test build: on a thread computing ahead, every fifth preparation fails
  // here, half done (its window built, its codes marked counted), as running
  // out of memory for a list would; the report must still be one thread's.
  static thread_local unsigned preparations = 0;
  if (FaultsDeferred::active() && ++preparations % 5 == 0) error("injected fault");
#endif
  // Lists are made when first needed (and made larger when a walk may need
  // more) and never cleared beyond their count word: only the part a walk
  // fills is ever touched.
  for (int x : gathered_) {
    if (x <= charset.alphabet_size || x == window_unlisted_) continue;
    const long long room = std::min(capacity_[x], bound + 2);
    if (allocated_[x] >= room && !worth_shrinking(allocated_[x], room)) continue;
    // The old list is kept until the new one exists: a failure leaves the
    // tally as it was.
    std::unique_ptr<int[]> fresh(new (std::nothrow) int[static_cast<std::size_t>(room)]);
    if (!fresh) error("Out of memory: couldn't allocate the positions of a group");
    lists_[x] = std::move(fresh);
    allocated_[x] = room;
  }
  for (int x : gathered_) {
    totalled_[x] = false;
    if (x > charset.alphabet_size && x != window_unlisted_) lists_[x][0] = 0;
  }
  active_ = !targets_.empty();
  return active_;
}

int* ChildTally::counts(int x) {
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
