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

void warning(const char* format, ...) {
  std::fflush(stdout);
  std::fputs("morva: warning: ", stderr);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
}

void fatal(const char* format, ...) {
  std::fflush(stdout);
  std::fputs("morva: error: ", stderr);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  fatal_exit();
}
