#include "run/progress.h"

#include <cstdio>

ProgressMeter::ProgressMeter() : start_(std::chrono::steady_clock::now()), last_(start_) {}

void ProgressMeter::maybe_print(long nodes, long queued) {
  const auto now = std::chrono::steady_clock::now();
  if (now - last_ < std::chrono::seconds(1)) return;
  last_ = now;
  print(nodes, queued, "searching");
}

void ProgressMeter::finish(long nodes) { print(nodes, 0, "done"); }

void ProgressMeter::print(long nodes, long queued, const char* state) {
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  // On a line of its own: the classic marks before it have no line end.
  std::fprintf(stderr,
               "\nmorva: warning: progress: %s, %.1f s, %ld patterns reported, %ld nodes expanded, "
               "%ld in the queue\n",
               state, elapsed, reported_, nodes, queued);
  std::fflush(stderr);
}
