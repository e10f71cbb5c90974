#pragma once
// The one fatal path of the program: every subsystem ends a run through these.
// Each writes the message (for the two-argument forms a blank and the
// argument) and an end of line to standard error, flushing the report's
// stream first so the two streams interleave sensibly, and ends the run
// with status 1 by throwing FatalError, which morva_run catches: no part of
// the program ends the process itself, so whoever runs it (main, a test, a
// fuzzer) decides what follows, and the run's objects are released by
// their owners.

[[noreturn]] void error(const char* message);
[[noreturn]] void error(const char* message, const char* text);
[[noreturn]] void error(const char* message, long long number);
[[noreturn]] inline void error(const char* message, int number) {
  error(message, static_cast<long long>(number));
}
[[noreturn]] inline void error(const char* message, unsigned number) {
  error(message, static_cast<long long>(number));
}
[[noreturn]] inline void error(const char* message, long number) {
  error(message, static_cast<long long>(number));
}

// Ends the run with status 1 after the caller has written its own message.
[[noreturn]] void fatal_exit();

// What a fatal fault throws, with the status the run ends with.
struct FatalError {
  int status = 1;
};

// Work computed ahead for the search (-threads) must not end the process:
// while a FaultsDeferred lives, a fatal fault on its thread throws
// DeferredFault instead, before anything is written, and the work is given
// back to the search, which meets the same fault when it reaches that work
// and ends the run as one thread does.
struct DeferredFault {};
class FaultsDeferred {
 public:
  // Whether faults are deferred on the calling thread now.
  static bool active();
  FaultsDeferred();
  ~FaultsDeferred();
  FaultsDeferred(const FaultsDeferred&) = delete;
  FaultsDeferred& operator=(const FaultsDeferred&) = delete;

 private:
  bool before_;
};

// Messages beyond the classic texts, so that scripts can tell them apart:
// warning() writes "morva: warning: " and the formatted text and a newline to
// standard error and returns; fatal() writes "morva: error: " and the text
// and ends the run with status 1.
void warning(const char* format, ...) __attribute__((format(printf, 1, 2)));
[[noreturn]] void fatal(const char* format, ...) __attribute__((format(printf, 1, 2)));
