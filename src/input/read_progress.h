#pragma once
#include <chrono>
#include <cstddef>
#include <cstdio>

// Progress of the reading on standard error about once a second (-progress):
// on inputs of hundreds of thousands of records the reading alone takes a
// while before the search's own progress lines begin.
class ReadProgress {
 public:
  explicit ReadProgress(bool on) : on_(on), start_(std::chrono::steady_clock::now()), last_(start_) {}

  // After each sequence read; looks at the clock every 4096th call.
  void sequence(const char* file, long sequences, std::size_t positions) {
    if (!on_ || (++calls_ & 4095) != 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::seconds(1)) return;
    last_ = now;
    print("reading", file, sequences, positions);
  }
  // When every file has been read.
  void done(long sequences, std::size_t positions) {
    if (on_) print("read", nullptr, sequences, positions);
  }

 private:
  void print(const char* state, const char* file, long sequences, std::size_t positions) const {
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    // On a line of its own: the classic marks before it have no line end.
    std::fprintf(stderr, "\nmorva: warning: progress: %s, %.1f s, %ld sequences, %zu positions%s%s\n", state,
                 elapsed, sequences, positions, file != nullptr ? ", file " : "", file != nullptr ? file : "");
    std::fflush(stderr);
  }

  bool on_;
  std::chrono::steady_clock::time_point start_, last_;
  unsigned calls_ = 0;
};
