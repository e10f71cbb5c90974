#pragma once
#include <cstdio>

#include "input/input_options.h"

// Run parameters that are not global settings: handed to the input stage.
struct RunParams {
  // Slot 0 unused; files in slots 1.. in command-line order; the list ends at
  // the first null slot, so at most 254 files fit.
  char* input_files[256] = {};
  char* charset_file_name = nullptr;
  int cfonly = 0;
  InputOptions input;  // -format, -revcomp, -groups
};

void print_usage(std::FILE* stream);

// Lenient number readers of the command line: leading blanks and a sign are
// allowed, reading stops at the first character that does not fit, and text
// without a number gives 0.
int read_int(const char* text);
double read_real(const char* text);

// Parses argv into the global settings and `params`; ends the run for -h and
// for every refused argument.
void parse_options(int argc, char** argv, RunParams& params);

// Clamps, swaps and fatal checks that follow the parse, in their fixed order.
void validate_settings(const RunParams& params);
