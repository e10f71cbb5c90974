#include "run/report_stream.h"

#include <cstdio>

#include "run/error.h"

void flush_report() {
  if (std::fflush(stdout) == EOF || std::ferror(stdout)) {
    std::fputs("Error: the report could not be written to standard output\n", stderr);
    fatal_exit();
  }
}
