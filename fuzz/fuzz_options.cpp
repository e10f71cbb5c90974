// The option parser and the checks after it, on a command line split from
// the fuzz bytes at blanks, tabs and line ends.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "run/error.h"
#include "run/globals.h"
#include "run/options.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::silence_standard_streams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  std::vector<std::string> words{"morva"};
  std::string word;
  for (std::size_t i = 0; i <= size; ++i) {
    const char c = i < size ? static_cast<char>(data[i]) : ' ';
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      // A word ends at a zero byte, as in a real argv; -h prints the usage
      // and ends the process itself (std::exit).
      word.resize(std::strlen(word.c_str()));
      if (!word.empty() && word != "-h") words.push_back(word);
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);
  const int argc = static_cast<int>(words.size());

  set_default_settings();
  verbose_level = 0;
  try {
    (void)output_goes_to_stdout(argc, argv.data());
    RunParams params;
    parse_options(argc, argv.data(), params);
    validate_settings(params);
    // What validation promises the rest of the run.
    if (nr_wc_allowed < 0 || nr_wc_allowed > 100) __builtin_trap();
    if (shortest_wc_run < 1 || longest_wc_run > 100 || shortest_wc_run > longest_wc_run)
      __builtin_trap();
    if (min_gap < 0 || min_gap > max_gap || no_gap_len < 1) __builtin_trap();
    if (maxlevel > 149 || minpos < minstrings) __builtin_trap();
    if (params.input_files[2] == nullptr && (showratio != 0 || binomial_prob != 0.0))
      __builtin_trap();
    int files = 0;
    while (files < 255 && params.input_files[files + 1] != nullptr) ++files;
    if (files > 254) __builtin_trap();
  } catch (const FatalError&) {
  }
  return 0;
}
