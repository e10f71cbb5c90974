#pragma once
#include <cstdint>
#include <limits>
#include <vector>

#include "run/memory_advice.h"

// The sequence of a position, from a table small enough to stay in cache:
// the sequence at the start of every block of 128 positions (sequences are
// mostly longer than that), and a step along the sequence ends from there.
// It stands in for a per-position table, which would take two to four bytes
// of every input code and, on large inputs, miss the caches at almost every
// sequence change of a walk over scattered positions.
class SequenceIndex {
 public:
  static constexpr int kShift = 7;

  SequenceIndex() = default;
  // seq_end as the joined input has it (seq_end[0] = 0, sequence k ends at
  // its separator seq_end[k]); positions 0..length-1.
  SequenceIndex(const int* seq_end, int nr_sequences, int length) : end_(seq_end, seq_end + nr_sequences + 1) {
    const std::size_t blocks = static_cast<std::size_t>(length >> kShift) + 1;
    first_.reserve(blocks);
    advise_huge_pages(first_.data(), blocks * sizeof(std::int32_t));
    first_.resize(blocks);
    // Past the last sequence: stops the step along the ends for any position.
    end_.push_back(std::numeric_limits<int>::max());
    int s = 0;
    for (std::size_t b = 0; b < first_.size(); ++b) {
      const int p = static_cast<int>(b << kShift);
      while (end_[static_cast<std::size_t>(s)] < p) ++s;
      first_[b] = s;
    }
  }

  // The sequence holding position p (0 for position 0), for 0 <= p < length.
  int seq_of(int p) const {
    int s = first_[static_cast<unsigned>(p) >> kShift];
    while (end_[static_cast<std::size_t>(s)] < p) ++s;
    return s;
  }
  int end_of(int s) const { return end_[static_cast<std::size_t>(s)]; }
  int sequences() const { return static_cast<int>(end_.size()) - 2; }
  // The sequence holding the first position of p's block.
  int first_of(int p) const { return first_[static_cast<unsigned>(p) >> kShift]; }
  // Asks for the table entry of position p ahead of its use.
  void prefetch(int p) const {
    __builtin_prefetch(first_.data() + (static_cast<unsigned>(p) >> kShift));
  }

 private:
  std::vector<std::int32_t> first_;
  std::vector<int> end_;
};
