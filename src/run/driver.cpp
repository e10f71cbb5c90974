#include "run/driver.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "input/input_string.h"
#include "run/error.h"
#include "run/globals.h"
#include "run/options.h"
#include "search/gstree.h"
#include "sets/set_registry.h"
#include "specfns/specfns_protos.h"

#ifndef MORVA_MAIN_SOURCE
#define MORVA_MAIN_SOURCE "main"
#endif

namespace {

void print_banner() {
  std::fputs("# \n", stdout);
  std::fputs("# MORVA - discovery of the patterns shared by families of sequences"
             " (pattern discovery)\n",
             stdout);
  std::fputs("# Version morva_0.1.05 translated " MORVA_MAIN_SOURCE " " __DATE__ " " __TIME__ "\n",
             stdout);
  std::fputs("# morva -h    for help on usage\n", stdout);
  std::fputs("# \n\n", stdout);
}

void echo_input_files(const RunParams& params) {
  for (int k = 1; k < 256 && params.input_files[k] != nullptr; ++k) {
    std::fprintf(stderr, "Input file nr %d = %s\n", k, params.input_files[k]);
    std::printf("# Input file nr.%d = %s (file nr is used also as example class name \n", k,
                params.input_files[k]);
    std::printf("#                    -ms:%d %d  nr of strings where pattern should exist\n", k,
                min_strings_in_classes[k]);
  }
}

// A full disk or a closed pipe must not end a run with status 0.
void finish_report() {
  if (std::fflush(stdout) == EOF || std::ferror(stdout)) {
    std::fputs("Error: the report could not be written to standard output\n", stderr);
    std::exit(1);
  }
}

int run(int argc, char** argv) {
  print_banner();
  set_default_settings();
  RunParams params;
  parse_options(argc, argv, params);
  validate_settings(params);

  if (params.input_files[1] == nullptr) {
    std::fflush(stdout);
    std::fputs("\n\nMissing filename  [-f filename]\n", stderr);
    print_usage(stderr);
    return 1;
  }
  echo_input_files(params);

  // The input and the trie live until the process ends, as every node and
  // set of the search points into them; they are held here rather than
  // destroyed, which would only cost time at the end of a large run.
  static input_string* input = nullptr;
  static GSTree* tree = nullptr;
  params.input.classes_are_compared = showratio != 0 || goodratio != 0.0f || binomial_prob != 0.0;
  input = new input_string(params.input_files, params.charset_file_name, params.cfonly, params.input);
  std::fputs("input_string OK\n", stderr);
  if (params.cfonly != 0) {
    finish_report();
    return 0;
  }
  if (verbose_level == 1000) {
    finish_report();
    return 1;
  }
  if ((input->length <= 99 && verbose_level > 1) || verbose_level > 10) input->test();
  if (verbose_level > 10) std::fputs("# Make preparations for the pattern tree construction\n", stdout);

  check_search_settings(*input);
  tree = new GSTree(input);
  std::fputs("\n\n# Start the creation of patterns:\n\n\n", stdout);
  tree->STreePQ();
  if (verbose_level > 1) {
    std::fputs("\n # How many sets and sizes:\n", stdout);
    tree->set_registry->test();
  }
  std::fputs("\n\n# Patterns are ready\n", stdout);
  tree->test();
  finish_report();
  return 0;
}

}  // namespace

int morva_main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const specfns::MathException& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "Math error in function %s: %s\n", e.function(), e.type());
    return 1;
  } catch (const std::bad_alloc&) {
    std::fflush(stdout);
    std::fputs("Out of memory\n", stderr);
    return 1;
  }
}
