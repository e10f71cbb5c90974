#include "run/driver.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "input/input_string.h"
#include "run/error.h"
#include "run/globals.h"
#include "run/options.h"
#include "run/progress.h"
#include "run/report_stream.h"
#include "run/version.h"
#include "results/results.h"
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
  std::fputs("# Version " MORVA_VERSION_TAG " translated " MORVA_MAIN_SOURCE " " __DATE__ " " __TIME__ "\n",
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
void finish_report() { finish_report_stream(); }

// The command line for the provenance of the result files, each word quoted
// for a POSIX shell where it needs it.
std::string command_line(int argc, char** argv) {
  std::string line = "morva";
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    const bool plain = !word.empty() &&
        word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_./:=+-,@%") ==
            std::string::npos;
    line += ' ';
    if (plain) {
      line += word;
      continue;
    }
    line += '\'';
    for (char c : word) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
    line += '\'';
  }
  return line;
}

// With "-table -" (or -json, -sites) standard output carries that file and
// nothing else: the report that would go there is sent to /dev/null, from
// the banner on, and the file gets the original stream.
std::FILE* take_standard_output() {
  std::fflush(stdout);
  const int fd = dup(STDOUT_FILENO);
  std::FILE* stream = fd >= 0 ? fdopen(fd, "w") : nullptr;
  if (stream == nullptr || std::freopen("/dev/null", "w", stdout) == nullptr)
    fatal("cannot set standard output aside for the result file: %s", std::strerror(errno));
  return stream;
}

int run(int argc, char** argv) {
  // Answered before the banner, so that their output is theirs alone.
  if (early_option_flag(argc, argv, "--version") || early_option_flag(argc, argv, "-version")) {
    print_version(stdout);
    finish_report();
    return 0;
  }
  if (early_option_flag(argc, argv, "--help")) {
    print_help(stdout);
    finish_report();
    return 0;
  }
  std::FILE* result_stream = output_goes_to_stdout(argc, argv) ? take_standard_output() : nullptr;
  FlushMode flush = FlushMode::Line;
  if (const char* mode = early_option_value(argc, argv, "-flush")) parse_flush_mode(mode, flush);
  set_report_flushing(flush);
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
  std::unique_ptr<Results> results;
  if (params.results.any()) {
    results = std::make_unique<Results>(params.results, *input, params.input_files,
                                        command_line(argc, argv), result_stream);
    tree->results = results.get();
  }
  std::unique_ptr<ProgressMeter> progress;
  if (params.progress) {
    progress = std::make_unique<ProgressMeter>();
    tree->progress = progress.get();
  }
  std::fputs("\n\n# Start the creation of patterns:\n\n\n", stdout);
  tree->STreePQ();
  if (results) results->print_held_lines();
  if (verbose_level > 1) {
    std::fputs("\n # How many sets and sizes:\n", stdout);
    tree->registry().test();
  }
  std::fputs("\n\n# Patterns are ready\n", stdout);
  tree->test();
  if (results) results->finish();
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
