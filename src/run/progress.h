#pragma once
#include <chrono>

// A progress line on standard error about once a second (-progress):
// patterns reported, nodes taken from the queue, the queue's size and the
// time since the search began. Only when asked: without it standard error
// carries the classic progress marks alone.
class ProgressMeter {
 public:
  ProgressMeter();
  // A pattern line was written.
  void reported() { ++reported_; }
  // After each node the search takes; looks at the clock every 256th call.
  void tick(long nodes, long queued) {
    if ((++calls_ & 255) == 0) maybe_print(nodes, queued);
  }
  // The last line, when the search has ended.
  void finish(long nodes);

 private:
  void maybe_print(long nodes, long queued);
  void print(long nodes, long queued, const char* state);

  std::chrono::steady_clock::time_point start_, last_;
  long reported_ = 0;
  unsigned calls_ = 0;
};
