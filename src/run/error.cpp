#include "run/error.h"

#include <cstdarg>
#include <cstdio>

#include "run/report_stream.h"

namespace {

thread_local bool faults_deferred = false;

void throw_if_deferred() {
  if (faults_deferred) throw DeferredFault{};
}

void flush_before_message() {
  // The report first, so that it and the message interleave as they were
  // written; then standard output when it is a different stream, which
  // carries a result file and must not lose its buffered end.
  std::FILE* report = report_file();
  std::fflush(report);
  if (report != stdout) std::fflush(stdout);
}

}  // namespace

FaultsDeferred::FaultsDeferred() : before_(faults_deferred) { faults_deferred = true; }
FaultsDeferred::~FaultsDeferred() { faults_deferred = before_; }
bool FaultsDeferred::active() { return faults_deferred; }

void fatal_exit() {
  throw_if_deferred();
  flush_before_message();
  std::fflush(stderr);
  throw FatalError{};
}

void error(const char* message) {
  throw_if_deferred();
  flush_before_message();
  std::fprintf(stderr, "%s\n", message);
  fatal_exit();
}

void error(const char* message, const char* text) {
  throw_if_deferred();
  flush_before_message();
  std::fprintf(stderr, "%s %s\n", message, text ? text : "");
  fatal_exit();
}

void error(const char* message, long long number) {
  throw_if_deferred();
  flush_before_message();
  std::fprintf(stderr, "%s %lld\n", message, number);
  fatal_exit();
}

namespace {

// One line on standard error: the prefix that tells scripts what it is,
// then the formatted text.
void write_message(const char* prefix, const char* format, va_list args) {
  flush_before_message();
  std::fputs(prefix, stderr);
  std::vfprintf(stderr, format, args);
  std::fputc('\n', stderr);
}

}  // namespace

void warning(const char* format, ...) {
  va_list args;
  va_start(args, format);
  write_message("morva: warning: ", format, args);
  va_end(args);
}

void fatal(const char* format, ...) {
  throw_if_deferred();
  va_list args;
  va_start(args, format);
  write_message("morva: error: ", format, args);
  va_end(args);
  fatal_exit();
}
