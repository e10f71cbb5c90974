#include "run/error.h"

#include <cstdio>
#include <cstdlib>

void fatal_exit() {
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(1);
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
