#include "run/error.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

void fatal_exit() {
  std::fflush(stdout);
  std::fflush(stderr);
#ifdef MORVA_FUZZ
  throw FatalError{};
#else
  std::exit(1);
#endif
}

void error(const char* message) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", message);
  fatal_exit();
}

void error(const char* message, const char* text) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s %s\n", message, text ? text : "");
  fatal_exit();
}

void error(const char* message, long long number) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s %lld\n", message, number);
  fatal_exit();
}

namespace {

// One line on standard error: the prefix that tells scripts what it is,
// then the formatted text.
void write_message(const char* prefix, const char* format, va_list args) {
  std::fflush(stdout);
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
  va_list args;
  va_start(args, format);
  write_message("morva: error: ", format, args);
  va_end(args);
  fatal_exit();
}
