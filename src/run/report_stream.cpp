#include "run/report_stream.h"
#include "run/word_choice.h"

#include <signal.h>
#include <stdio_ext.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

#include "run/error.h"
#include "run/stop_signals.h"

namespace {

// The stream's own configuration, like stdio's buffer state: set once by
// the driver before the report begins.
std::FILE* report = nullptr;  // null: standard output

struct BlockState {
  char* buffer = nullptr;  // the report stream's buffer, once set
  bool on = false;
  bool lines_held = false;  // line mode after hold_report_lines()
  double last_flush = 0;
  unsigned calls = 0;
};
BlockState block;

constexpr std::size_t kBufferSize = std::size_t{4} << 20;
constexpr std::size_t kFlushAt = std::size_t{1} << 20;
constexpr double kFlushEvery = 0.1;

double now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// A discarding stream's write: the whole buffer is taken, so stdio never
// sees a short write or an error.
ssize_t discard(void*, const char*, std::size_t size) { return static_cast<ssize_t>(size); }

void write_out() {
  std::FILE* out = report_file();
  if (std::fflush(out) == EOF || std::ferror(out)) {
    std::fputs("Error: the report could not be written to standard output\n", stderr);
    fatal_exit();
  }
}

}  // namespace

std::FILE* report_file() { return report != nullptr ? report : stdout; }

namespace {
// With -quiet, a discarding stream, made once and kept: a later run in the
// same process (a test harness) may be quiet again.
std::FILE* quiet_stream = nullptr;
bool quiet_on = false;
}  // namespace

std::FILE* chatter_file() { return quiet_on && quiet_stream != nullptr ? quiet_stream : stderr; }

void set_quiet(bool quiet) {
  if (quiet && quiet_stream == nullptr) quiet_stream = open_discarding_stream();
  quiet_on = quiet;
}

void set_report_file(std::FILE* stream) { report = stream; }

std::FILE* open_discarding_stream() {
  cookie_io_functions_t functions{};
  functions.write = discard;
  return fopencookie(nullptr, "w", functions);
}

bool parse_flush_mode(const char* text, FlushMode& mode) {
  static const std::pair<const char*, FlushMode> kModes[] = {{"line", FlushMode::Line},
                                                              {"block", FlushMode::Block}};
  return choose_word(text, kModes, mode);
}

void set_report_flushing(FlushMode mode) {
  // A buffer well above the flush size (and any common line), so that stdio
  // itself rarely writes in the middle of a line: a line goes out in one
  // write when it is flushed.
  // The C library takes the size only with storage of the caller's own
  // (given none, it keeps its default of a few kilobytes); the storage must
  // outlive every flush, including the one at exit, so it is never freed.
  if (block.buffer == nullptr) block.buffer = new (std::nothrow) char[kBufferSize];
  if (block.buffer != nullptr) std::setvbuf(report_file(), block.buffer, _IOFBF, kBufferSize);
  if (mode != FlushMode::Block) return;
  // The stop signals held back until a line end, where the report is complete.
  hold_stop_signals();
  block.on = true;
  block.last_flush = now();
}

void flush_report() {
  if (!block.on && block.lines_held) {
    write_out();
    // A waiting signal is looked for at every 64th line end only: the run
    // goes on for at most a few more lines, each of them whole.
    if ((++block.calls & 63) == 0) stop_point();
    return;
  }
  if (!block.on) {
    // A line longer than a pipe takes at once may go out in several
    // writes: a stop signal waits until all of them are done, so that a
    // stopped report still ends with a whole line.
    if (__fpending(report_file()) <= PIPE_BUF) {
      write_out();
      return;
    }
    hold_stop_signals();
    write_out();
    release_stop_signals();
    return;
  }
  // The clock and the pending signals are asked every 64th line end only:
  // a system call per line would cost much of what the buffer saves.
  if (__fpending(report_file()) < kFlushAt && (++block.calls & 63) != 0) return;
  const bool stop = stop_requested();
  if (stop || __fpending(report_file()) >= kFlushAt || now() - block.last_flush >= kFlushEvery) {
    write_out();
    block.last_flush = now();
  }
  // A held signal ends the run as it would have: the report is complete up
  // to its last line.
  if (stop) stop_point();
}

StopsActWhileReading::StopsActWhileReading() {
  if (!block.on) return;
  write_out();
  release_stop_signals();
  lifted_ = true;
}

StopsActWhileReading::~StopsActWhileReading() {
  if (lifted_) hold_stop_signals();
}

void finish_report_stream() {
  write_out();
  // A signal that came after the last line still ends the run by itself.
  stop_point();
}

void hold_report_lines() {
  if (block.on || block.lines_held) return;
  hold_stop_signals();
  block.lines_held = true;
}

void end_report_flushing() {
  if (!block.on && !block.lines_held) return;
  release_stop_signals();
  char* buffer = block.buffer;
  block = BlockState{};
  block.buffer = buffer;
}
