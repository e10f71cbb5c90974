#include "run/options.h"

#include <cctype>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "run/error.h"
#include "run/globals.h"
#include "run/option_table.h"
#include "run/report_stream.h"

namespace {

// Patterns can be spelled up to this many codes long.
constexpr int kLongestPattern = 149;

// A wildcard run is 1 to 100 positions long.
void clamp_wildcard_run(int& run) {
  if (run < 1) {
    std::fputs("Too short wc run\n", stderr);
    run = 1;
  } else if (run > 100) {
    std::fputs("Too long wc run\n", stderr);
    run = 100;
  }
}

// A typo in a value must not pass for a setting: the lenient reading stays
// (scripts rely on it), but what was not read as written is said once.
void warn_reading(const char* option, const char* text, const char* what, const std::string& taken) {
  if (option != nullptr)
    warning("%s \"%s\": %s; %s is taken", option, text, what, taken.c_str());
}

}  // namespace

int read_int(const char* text, const char* option) {
  const char* p = text;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  long long value = 0;
  bool digits = false;
  while (std::isdigit(static_cast<unsigned char>(*p))) {
    // Saturate instead of overflowing: a huge number means "as large as possible".
    if (value < static_cast<long long>(INT_MAX) + 1) value = value * 10 + (*p - '0');
    digits = true;
    ++p;
  }
  if (negative) value = -value;
  const bool saturated = value > INT_MAX || value < INT_MIN;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  const std::string taken = std::to_string(value);
  if (!digits)
    warn_reading(option, text, "holds no number", taken);
  else if (*p != '\0')
    warn_reading(option, text, "has text after the number", taken);
  else if (saturated)
    warn_reading(option, text, "is out of range", taken);
  return static_cast<int>(value);
}

double read_real(const char* text, const char* option) {
  // Only the decimal form is taken (no hexadecimal, no "inf" or "nan"), so a
  // stray word can never turn into a non-number limit.
  const char* p = text;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  std::string number;
  if (*p == '+' || *p == '-') number += *p++;
  bool digits = false;
  while (std::isdigit(static_cast<unsigned char>(*p))) number += *p++, digits = true;
  if (*p == '.') {
    number += *p++;
    while (std::isdigit(static_cast<unsigned char>(*p))) number += *p++, digits = true;
  }
  if (!digits) {
    warn_reading(option, text, "holds no number", "0");
    return 0.0;
  }
  if (*p == 'e' || *p == 'E') {
    const char* q = p + 1;
    std::string exponent = "e";
    if (*q == '+' || *q == '-') exponent += *q++;
    if (std::isdigit(static_cast<unsigned char>(*q))) {
      while (std::isdigit(static_cast<unsigned char>(*q))) exponent += *q++;
      number += exponent;
      p = q;
    }
  }
  double value = std::strtod(number.c_str(), nullptr);
  // Beyond the range of a double the limit is the largest one, not infinity.
  const bool saturated = std::isinf(value);
  if (saturated) value = value > 0 ? DBL_MAX : -DBL_MAX;
  char taken[32];
  std::snprintf(taken, sizeof taken, "%g", value);
  if (*p != '\0')
    warn_reading(option, text, "has text after the number", taken);
  else if (saturated)
    warn_reading(option, text, "is out of range", taken);
  return value;
}

namespace {

const OptionRow* find_option(const std::vector<OptionRow>& rows, const char* word) {
  for (const OptionRow& row : rows)
    if (std::strcmp(word, row.word) == 0) return &row;
  return nullptr;
}

// The index of the last value of an option standing at i with this reader.
int last_value(const OptionRow& row, int argc, char** argv, int i) {
  i += row.reader.arity;
  if (row.then_word != nullptr && i + 1 < argc && std::strcmp(argv[i + 1], row.then_word) == 0)
    i += 1 + row.then.arity;
  return i;
}

// The last index where a row that `wanted` accepts stands where parse_options
// would read an option (not as another option's value), up to the first word
// it would refuse or -h; -1 when there is none.
template <typename Wanted>
int early_position(int argc, char** argv, Wanted wanted) {
  RunParams unused;
  const std::vector<OptionRow> rows = option_table(unused);
  int found = -1;
  for (int i = 1; i < argc; ++i) {
    const OptionRow* row = find_option(rows, argv[i]);
    if (row == nullptr || row->use == OptionUse::Usage) break;
    if (wanted(*row)) found = i;
    i = last_value(*row, argc, argv, i);
  }
  return found;
}

int early_position(int argc, char** argv, const char* word) {
  return early_position(argc, argv, [word](const OptionRow& row) { return std::strcmp(row.word, word) == 0; });
}

// Reads the values of the option standing at i, or refuses it when they run
// past the last word; returns the index of its last value.
int read_values(int argc, char** argv, int i, const char* word, const OptionReader& reader) {
  if (i + reader.arity >= argc) {
    std::fflush(report_file());
    std::fprintf(stderr, "Missing value for option %s\n", word);
    fatal_exit();
  }
  if (reader.store) reader.store(word, argv + i + 1);
  return i + reader.arity;
}

}  // namespace

const char* early_option_value(int argc, char** argv, const char* word) {
  const int i = early_position(argc, argv, word);
  return i >= 0 && i + 1 < argc ? argv[i + 1] : nullptr;
}

bool early_option_flag(int argc, char** argv, const char* word) { return early_position(argc, argv, word) >= 0; }

bool early_option_use(int argc, char** argv, OptionUse use) {
  return early_position(argc, argv, [use](const OptionRow& row) { return row.use == use; }) >= 0;
}

std::vector<OptionHelpRow> option_help_rows() {
  RunParams unused;
  std::vector<OptionHelpRow> rows;
  for (const OptionRow& row : option_table(unused)) rows.push_back({row.word, row.help, row.use});
  return rows;
}

bool output_goes_to_stdout(int argc, char** argv) {
  for (const OptionHelpRow& row : option_help_rows()) {
    if (row.use != OptionUse::ResultFile) continue;
    const char* value = early_option_value(argc, argv, row.word);
    if (value != nullptr && std::strcmp(value, "-") == 0) return true;
  }
  return false;
}

void parse_options(int argc, char** argv, RunParams& params) {
  const std::vector<OptionRow> rows = option_table(params);
  for (int i = 1; i < argc; ++i) {
    const char* word = argv[i];
    const OptionRow* row = find_option(rows, word);
    if (row == nullptr) {
      std::fflush(report_file());
      std::fprintf(stderr, "Unknown option: %s", word);
      print_usage(stderr);
      fatal_exit();
    }
    if (row->use == OptionUse::Usage) {
      std::fputs(argv[0], report_file());
      print_usage(report_file());
      fatal_exit();
    }
    i = read_values(argc, argv, i, word, row->reader);
    if (row->then_word != nullptr && i + 1 < argc && std::strcmp(argv[i + 1], row->then_word) == 0)
      i = read_values(argc, argv, i + 1, row->then_word, row->then);
  }
}

void validate_settings(const RunParams& params) {
  if (params.input_files[2] == nullptr) {
    binomial_prob = 0.0;
    goodratio = 0.0f;
    showratio = 0;
  }
  if (nr_wc_allowed > 100) {
    std::fputs("Reduced the nr. of wc\n", stderr);
    nr_wc_allowed = 100;
  }
  if (nr_wc_allowed < 0) {
    std::fputs("Negative nr. of wc\n", stderr);
    nr_wc_allowed = 0;
  }
  clamp_wildcard_run(shortest_wc_run);
  clamp_wildcard_run(longest_wc_run);
  if (longest_wc_run < shortest_wc_run) {
    std::fputs("Replace shortest and longest run walues\n", stderr);
    int t = longest_wc_run;
    longest_wc_run = shortest_wc_run;
    shortest_wc_run = t;
  }
  if (min_gap < 0) min_gap = 0;
  if (max_gap < 0) max_gap = 0;
  if (min_gap > max_gap) {
    int t = min_gap;
    min_gap = max_gap;
    max_gap = t;
  }
  if (no_gap_len < 1) no_gap_len = 1;

  if (maxlevel > kLongestPattern) {
    std::fprintf(stderr, "Warning: -maxlevel %d reduced to %d, the longest pattern that can be printed\n",
                 maxlevel, kLongestPattern);
    maxlevel = kLongestPattern;
  }
  if (minstringsinclass > minstrings) minstrings = minstringsinclass;
  if (minstrings > minpos) minpos = minstrings;
  if (maxpos != 0 && maxpos < minpos)
    error("Maximum number of positions is less than minimum nr of positions");
  if (maxstrings != 0 && maxstrings < minstrings)
    error("Maximum number of sequences is less than minimum nr of sequences");
  if (goodratio != 0.0f)
    std::fprintf(report_file(), "# Goodness ratio: %g\n", static_cast<double>(goodratio));
  // The position count of a pattern is an 8-bit field: a start outside its
  // range would wrap (256 acting as 0), and a gap distance above its top
  // could never be reached.
  if (init_gap_len < -128 || init_gap_len > 127)
    fatal("-init_gap_len %d is outside -128..127, the range of the position count it starts",
          init_gap_len);
  if (no_gap_len > 127) fatal("-no_gap_len %d is above 127, the most positions a count can hold", no_gap_len);
  // A floor set per class looks at the labels, and a correction over the
  // patterns tested is valid only for a family chosen without them.
  const SignificanceOptions& significance = params.results.significance;
  if ((significance.fwer > 0 || significance.permutations > 0 || significance.fdr > 0) && minstringsinclass > 0)
    fatal("%s cannot be used with -ms or -minstringsinclass: a minimum per class makes the patterns tested "
          "depend on the classes, which the correction must not see; use -minstrings",
          significance.permutations > 0 ? "-wy" : significance.fwer > 0 ? "-fwer" : "-fdr");
}
