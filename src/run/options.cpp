#include "run/options.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "alphabet/stop_mask.h"
#include "results/result_sink.h"
#include "run/error.h"
#include "run/word_choice.h"
#include "run/globals.h"
#include "run/report_stream.h"

namespace {

enum class Kind {
  Help,          // -h
  Int,           // one integer into *target
  File,          // -f name [-ms nr]
  CharsetFile,   // -cf name
  Cfonly,        // -cfonly nr
  ClassMinimum,  // -minstringsinclass class-char nr
  GenOrder,      // -genorder nr|name
  Float,         // -goodratio
  Double,        // -binomial_prob
  Flag,          // sets *target = 1, takes no value
  Format,        // -format lines|fasta|fastq|auto
  GroupPreset,   // -groups protein|dna|none
  Revcomp,       // -revcomp, no value
  Mask,          // -mask CHARS (may be empty)
  Dedup,         // -dedup, no value
  ResultFile,    // a row of the sink table: a file name or "-"
  SortOrder,     // -sort pvalue|ratio|support|pattern
  Top,           // -top N
  Flank,         // -flank K
  ResultFlag,    // -maximal, -trim_wc, -distinct, -fwer_distinct: no value
  Alpha,         // -fwer ALPHA, -fdr ALPHA
  Permutations,  // -wy J
  Seed,          // -seed S
  Alternative,   // -alternative greater|less|two-sided
  Flush,         // -flush line|block
  LongHelp,      // --help: usage, newer options and examples; exit 0
  Version,       // --version, -version; exit 0
  Progress,      // -progress, no value
  Quiet,         // -quiet, no value
  Threads,       // -threads N
};

struct OptionRow {
  const char* word;
  Kind kind;
  int* target;
  OptionHelp help;
};

// Options told of in the classic usage text (usage.cpp), which is kept as it is.
constexpr OptionHelp kInUsage{HelpSection::Usage, 0, nullptr, nullptr};
// On a line whose help another row of the same line gives.
constexpr const char* kSharedHelp = nullptr;

using S = HelpSection;

// The ranked-results lines after those of the result files (line i + 1 for
// row i of the sink table).
constexpr int kAfterFiles = 100;

// Permutations are held as bit sets of the sequences, J of them.
constexpr long kMostPermutations = 100000;

// Tested in this order; the first whole-word match decides. Each row also
// says what --help prints of it, so that a new option is told of in one place.
const OptionRow kOptions[] = {
    {"-h", Kind::Help, nullptr, kInUsage},
    {"-v", Kind::Int, &verbose_level, kInUsage},
    {"-f", Kind::File, nullptr, kInUsage},
    {"-cf", Kind::CharsetFile, nullptr, kInUsage},
    {"-cfonly", Kind::Cfonly, nullptr, kInUsage},
    {"-minpos", Kind::Int, &minpos, kInUsage},
    {"-minstrings", Kind::Int, &minstrings, kInUsage},
    {"-maxpos", Kind::Int, &maxpos,
     {S::Limits, 1, "[-maxpos nr]", "at most so many positions / sequences (default 0: no limit)"}},
    {"-maxstrings", Kind::Int, &maxstrings, {S::Limits, 1, "[-maxstrings nr]", kSharedHelp}},
    {"-minstringsinclass", Kind::ClassMinimum, nullptr, kInUsage},
    {"-maxgrp", Kind::Int, &maxgrp, kInUsage},
    {"-min_gap", Kind::Int, &min_gap, kInUsage},
    {"-max_gap", Kind::Int, &max_gap, kInUsage},
    {"-max_gap_nr", Kind::Int, &max_gap_nr, kInUsage},
    {"-no_gap_len", Kind::Int, &no_gap_len, kInUsage},
    {"-only_print_if_gap_allowed", Kind::Int, &only_print_if_gap_allowed, kInUsage},
    {"-init_gap_len", Kind::Int, &init_gap_len, kInUsage},
    {"-minlevel", Kind::Int, &minlevel, kInUsage},
    {"-maxlevel", Kind::Int, &maxlevel, kInUsage},
    // The usage text names it with -wc; the -minwc line repeats that it is -wc.
    {"-wildcards", Kind::Int, &nr_wc_allowed, kInUsage},
    {"-wc", Kind::Int, &nr_wc_allowed, kInUsage},
    {"-minwc", Kind::Int, &shortest_wc_run,
     {S::Limits, 2, "[-minwc nr]", "shortest wildcard run (default 1); -wildcards nr is -wc nr"}},
    {"-maxwc", Kind::Int, &longest_wc_run, kInUsage},
    {"-abandonequal", Kind::Int, &abandonequal, kInUsage},
    {"-genorder", Kind::GenOrder, nullptr, kInUsage},
    {"-freq_set", Kind::Int, &freq_set, kInUsage},
    {"-showsets", Kind::Int, &showsets, kInUsage},
    {"-showratio", Kind::Int, &showratio, kInUsage},
    {"-goodratio", Kind::Float, nullptr, kInUsage},
    {"-binomial_prob", Kind::Double, nullptr, kInUsage},
    {"-costf", Kind::Int, &costf, kInUsage},
    {"-reportduplicates", Kind::Int, &reportduplicates, kInUsage},
    {"-onepos", Kind::Flag, &onepos, kInUsage},
    {"-onestr", Kind::Flag, &onestr, kInUsage},
    {"-format", Kind::Format, nullptr,
     {S::Input, 1, "[-format lines|fasta|fastq|auto]",
      "how the files are laid out (default lines);\n"
      "gzip and bgzip files read alike, -f - reads standard input"}},
    {"-groups", Kind::GroupPreset, nullptr,
     {S::Input, 3, "[-groups protein|dna|none]", "groups added to a generated character set (default none)"}},
    {"-revcomp", Kind::Revcomp, nullptr, {S::Input, 2, "[-revcomp]", "search both strands of DNA"}},
    {"-mask", Kind::Mask, nullptr,
     {S::Input, 4, "[-mask CHARS]",
      "STOP characters of a generated set: no pattern holds them\n"
      "(FASTA/FASTQ default: *, and N in DNA or X in protein)"}},
    {"-dedup", Kind::Dedup, nullptr,
     {S::Input, 5, "[-dedup]", "keep one of identical sequences within a class"}},
    // The result-file options (-table, -json, ...) are the rows of the sink
    // table, so that a new output is told of where it is made.
    {"-sort", Kind::SortOrder, nullptr,
     {S::RankedResults, kAfterFiles + 1, "[-sort pvalue|specificity|ratio|support|pattern]",
      "order of the rows (default pvalue; its ties\ngo to the pattern less likely by chance)"}},
    {"-top", Kind::Top, nullptr,
     {S::RankedResults, kAfterFiles + 2, "[-top N]", "keep the first N rows (default all; 50 on the HTML page)"}},
    {"-flank", Kind::Flank, nullptr,
     {S::RankedResults, kAfterFiles + 6, "[-flank K]",
      "K letters each side of the sites in the site matrices\n(-meme, the page's logos; default 0)"}},
    {"-maximal", Kind::ResultFlag, nullptr,
     {S::RankedResults, kAfterFiles + 3, "[-maximal]", "leave out patterns a longer one holds with the same counts"}},
    {"-trim_wc", Kind::ResultFlag, nullptr,
     {S::RankedResults, kAfterFiles + 4, "[-trim_wc]", "leave out patterns that end in a wildcard"}},
    {"-distinct", Kind::ResultFlag, nullptr,
     {S::RankedResults, kAfterFiles + 5, "[-distinct]",
      "one row per motif: leave out rows that hit the sites\nof a better one (-top then counts motifs)"}},
    {"-prosite", Kind::ResultFlag, nullptr,
     {S::RankedResults, kAfterFiles + 7, "[-prosite]", "a column with the pattern in PROSITE syntax: G-x(4)-G-K-[ST]"}},
    {"-fwer", Kind::Alpha, nullptr,
     {S::Significance, 1, "[-fwer ALPHA]",
      "mark rows significant at family-wise error ALPHA (Tarone's\n"
      "testable patterns; the support floor rises as the search goes)"}},
    {"-fwer_distinct", Kind::ResultFlag, nullptr,
     {S::Significance, 2, "[-fwer_distinct]", "patterns held by the same sequences are one test"}},
    {"-wy", Kind::Permutations, nullptr,
     {S::Significance, 3, "[-wy J]",
      "Westfall-Young FWER over J label permutations (wy_p;\n"
      "J >= 1000 advised)"}},
    {"-seed", Kind::Seed, nullptr, {S::Significance, 3, "[-seed S]", kSharedHelp}},
    {"-fdr", Kind::Alpha, nullptr,
     {S::Significance, 4, "[-fdr ALPHA]", "mark rows at false discovery rate ALPHA (Tarone-BH)"}},
    {"-alternative", Kind::Alternative, nullptr,
     {S::Significance, 5, "[-alternative greater|less|two-sided]",
      "the Fisher test's alternative (default greater:\nmore often in class 1)"}},
    {"-flush", Kind::Flush, nullptr,
     {S::ReportAndProgress, 1, "[-flush line|block]",
      "flush the report per line (default) or through a large buffer"}},
    {"--help", Kind::LongHelp, nullptr, {S::ReportAndProgress, 3, "[--help]", "this text, exit status 0"}},
    {"--version", Kind::Version, nullptr,
     {S::ReportAndProgress, 4, "[--version]", "version and build, exit status 0"}},
    // The older spelling, kept for scripts; --help shows only --version.
    {"-version", Kind::Version, nullptr, {S::ReportAndProgress, 4, nullptr, kSharedHelp}},
    {"-progress", Kind::Progress, nullptr,
     {S::ReportAndProgress, 2, "[-progress]", "a progress line on standard error about every second"}},
    {"-quiet", Kind::Quiet, nullptr,
     {S::ReportAndProgress, 5, "[-quiet]", "no progress marks or running notes on standard error"}},
    {"-threads", Kind::Threads, nullptr,
     {S::ReportAndProgress, 6, "[-threads N]",
      "threads that search (default 1); the output is the same\nfor every N"}},
};

// Values each kind of option takes after its word (-f may take "-ms N" too).
int values_taken(Kind kind) {
  switch (kind) {
    case Kind::Help:
    case Kind::LongHelp:
    case Kind::Version:
    case Kind::Progress:
    case Kind::Quiet:
    case Kind::Flag:
    case Kind::Revcomp:
    case Kind::Dedup:
    case Kind::ResultFlag:
      return 0;
    case Kind::ClassMinimum:
      return 2;
    default:
      return 1;
  }
}

// The rows in the order they are tested: the table above, then one row per
// result-file option of the sink table.
const std::vector<OptionRow>& option_rows() {
  static const std::vector<OptionRow> rows = [] {
    std::vector<OptionRow> all(std::begin(kOptions), std::end(kOptions));
    const std::vector<SinkKind>& kinds = sink_kinds();
    for (std::size_t i = 0; i < kinds.size(); ++i)
      if (kinds[i].option != nullptr)
        all.push_back({kinds[i].option, Kind::ResultFile, nullptr,
                       {S::RankedResults, static_cast<int>(i), kinds[i].synopsis, kinds[i].help}});
    return all;
  }();
  return rows;
}

const OptionRow* find_option(const char* word) {
  for (const OptionRow& candidate : option_rows())
    if (std::strcmp(word, candidate.word) == 0) return &candidate;
  return nullptr;
}

void set_result_file(ResultOptions& results, const char* option, const char* name) {
  if (*name == '\0') fatal("%s needs a file name (or - for standard output)", option);
  const std::vector<SinkKind>& kinds = sink_kinds();
  results.files[static_cast<std::size_t>(sink_index(option))] = name;
  int to_stdout = 0;
  for (const char* n : results.files)
    if (n != nullptr && std::strcmp(n, "-") == 0) ++to_stdout;
  if (to_stdout > 1) {
    std::vector<const char*> named;
    for (std::size_t i = 0; i < kinds.size(); ++i)
      if (kinds[i].option != nullptr && (kinds[i].named_for_stdout || results.files[i] != nullptr))
        named.push_back(kinds[i].option);
    fatal("only one of %s can write to standard output", word_list(named).c_str());
  }
}

// A level of error: a number strictly between 0 and 1, as written.
double read_alpha(const char* text, const char* option) {
  char* end = nullptr;
  errno = 0;
  const double a = std::strtod(text, &end);
  if (end == text || *end != '\0' || errno != 0 || !(a > 0 && a < 1))
    fatal("%s takes a level strictly between 0 and 1, not \"%s\"", option, text);
  return a;
}

// Whether `text` is, as written, a whole number from least to most.
bool whole_number(const char* text, long least, long most, long& n) {
  char* end = nullptr;
  errno = 0;
  n = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && errno == 0 && n >= least && n <= most;
}

long read_permutations(const char* text) {
  long n = 0;
  if (!whole_number(text, 1, kMostPermutations, n))
    fatal("-wy takes a number of permutations from 1 to %ld, not \"%s\"", kMostPermutations, text);
  return n;
}

unsigned long long read_seed(const char* text) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long n = std::strtoull(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || text[0] == '-')
    fatal("-seed takes a whole number from 0 to %llu, not \"%s\"", ULLONG_MAX, text);
  return n;
}

long read_top(const char* text) {
  long n = 0;
  if (!whole_number(text, 1, LONG_MAX, n)) fatal("-top takes a number of rows of at least 1, not \"%s\"", text);
  return n;
}

// Flanks wider than this would be more context than motif.
constexpr int kMostFlank = 1000;

// More threads than this would be mostly waiting on each other.
constexpr int kMostThreads = 256;

int read_threads(const char* text) {
  long n = 0;
  if (!whole_number(text, 1, kMostThreads, n))
    fatal("-threads takes a number of threads from 1 to %d, not \"%s\"", kMostThreads, text);
  return static_cast<int>(n);
}

int read_flank(const char* text) {
  long n = 0;
  if (!whole_number(text, 0, kMostFlank, n))
    fatal("-flank takes a number of letters from 0 to %d, not \"%s\"", kMostFlank, text);
  return static_cast<int>(n);
}

// Patterns can be spelled up to this many codes long.
constexpr int kLongestPattern = 149;
constexpr int kMaxInputFiles = 254;

const char kKnownOrders[] =
    "Known orders are:\n"
    " 0 - breadth_first  (default)\n"
    " 1 - depth_first\n"
    " 2 - freq_first    Order based on the max number of sequences containing the pattern\n"
    " 3 - nonfreq_first Order based on the min number of sequences containing the pattern\n"
    " X - unknown - new orders will be interesting to test out...\n";

// Returns the argument after position i, or refuses the option standing last.
const char* value_after(int argc, char** argv, int i, const char* option) {
  if (i + 1 >= argc) {
    std::fflush(report_file());
    std::fprintf(stderr, "Missing value for option %s\n", option);
    fatal_exit();
  }
  return argv[i + 1];
}

void record_class_minimum(int value) {
  minstringsinclass = value;
  // A class character above 127 gives a negative slot; such a slot can never
  // name a class and is refused once the classes are known.
  if (minclass >= 0 && minclass <= 256) min_strings_in_classes[minclass] = minstringsinclass;
}

void set_genorder(const char* value) {
  if (std::isdigit(static_cast<unsigned char>(value[0]))) {
    genorder = read_int(value, "-genorder");
  } else {
    genorder = -1;
    if (std::strcmp(value, "depth_first") == 0)
      genorder = 1;
    else if (std::strcmp(value, "breadth_first") == 0)
      genorder = 0;
    else if (std::strcmp(value, "freq_first") == 0)
      genorder = 2;
    else if (std::strcmp(value, "nonfreq_first") == 0)
      genorder = 3;
    else
      std::fprintf(stderr,
                   "Unknown option to  -genorder : %s\n\t\tValid values are: depth_first "
                   "breadth_first freq_first nonfreq_first\n",
                   value);
  }
  if (static_cast<unsigned>(genorder) > 3) {
    std::fflush(report_file());
    print_usage(stderr);
    std::fputs(kKnownOrders, stderr);
    fatal_exit();
  }
}

// The characters must be able to stand in the STOP line of a generated
// character-set file, which lists single bytes in one word.
void set_mask(InputOptions& input, const char* value) {
  for (const char* p = value; *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (maskable(c)) continue;
    char shown[8];
    std::snprintf(shown, sizeof shown, c > 0x20 && c < 0x7F ? "'%c'" : "\\x%02X", c);
    // The value is echoed with its control bytes as \xNN: raw, they would
    // act on the terminal the message is read on.
    std::string echoed;
    for (const char* q = value; *q != '\0'; ++q) {
      const unsigned char b = static_cast<unsigned char>(*q);
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, b < 0x20 || b == 0x7F ? "\\x%02X" : "%c", b);
      echoed += escaped;
    }
    fatal("-mask \"%s\": the character %s cannot be a STOP character of a generated character "
          "set: -mask takes printable ASCII characters other than '#' (a blank or control byte "
          "would break the file's STOP line, '#' starts a comment there, and a byte above 0x7E "
          "is part of a character, not one of its own)",
          echoed.c_str(), shown);
  }
  input.mask_given = true;
  input.mask = value;
}

void add_input_file(RunParams& params, char* name) {
  int slot = 1;
  while (slot < 256 && params.input_files[slot] != nullptr) ++slot;
  if (slot > kMaxInputFiles) {
    std::fflush(report_file());
    std::fprintf(stderr, "Too many input files: at most %d can be given with -f\n", kMaxInputFiles);
    fatal_exit();
  }
  params.input_files[slot] = name;
}

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

int file_slot_of_last(const RunParams& params) {
  int slot = 1;
  while (slot < 255 && params.input_files[slot + 1] != nullptr) ++slot;
  return slot;
}

}  // namespace

namespace {

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

// Index of the last word `word` standing where parse_options would read an
// option (not as another option's value), up to the first word it would
// refuse or -h; -1 when there is none.
int early_position(int argc, char** argv, const char* word) {
  int found = -1;
  for (int i = 1; i < argc; ++i) {
    const OptionRow* row = find_option(argv[i]);
    if (row == nullptr || row->kind == Kind::Help) break;
    if (std::strcmp(argv[i], word) == 0) found = i;
    i += values_taken(row->kind);
    if (row->kind == Kind::File && i + 1 < argc && std::strcmp(argv[i + 1], "-ms") == 0) i += 2;
  }
  return found;
}

}  // namespace

const char* early_option_value(int argc, char** argv, const char* word) {
  const int i = early_position(argc, argv, word);
  return i >= 0 && i + 1 < argc ? argv[i + 1] : nullptr;
}

bool early_option_flag(int argc, char** argv, const char* word) { return early_position(argc, argv, word) >= 0; }

std::vector<OptionHelpRow> option_help_rows() {
  std::vector<OptionHelpRow> rows;
  for (const OptionRow& row : option_rows()) rows.push_back({row.word, row.help});
  return rows;
}

bool output_goes_to_stdout(int argc, char** argv) {
  for (const SinkKind& kind : sink_kinds()) {
    if (kind.option == nullptr) continue;
    const char* value = early_option_value(argc, argv, kind.option);
    if (value != nullptr && std::strcmp(value, "-") == 0) return true;
  }
  return false;
}

void parse_options(int argc, char** argv, RunParams& params) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const OptionRow* row = find_option(arg);
    if (row == nullptr) {
      std::fflush(report_file());
      std::fprintf(stderr, "Unknown option: %s", arg);
      print_usage(stderr);
      fatal_exit();
    }
    switch (row->kind) {
      case Kind::Help:
        std::fputs(argv[0], report_file());
        print_usage(report_file());
        fatal_exit();
      case Kind::Int:
        *row->target = read_int(value_after(argc, argv, i, arg), arg);
        ++i;
        break;
      case Kind::Flag:
        *row->target = 1;
        break;
      case Kind::File:
        add_input_file(params, const_cast<char*>(value_after(argc, argv, i, arg)));
        ++i;
        if (i + 1 < argc && std::strcmp(argv[i + 1], "-ms") == 0) {
          const char* value = value_after(argc, argv, i + 1, "-ms");
          minclass = file_slot_of_last(params);
          record_class_minimum(read_int(value, "-ms"));
          i += 2;
        }
        break;
      case Kind::CharsetFile:
        params.charset_file_name = const_cast<char*>(value_after(argc, argv, i, arg));
        ++i;
        break;
      case Kind::Cfonly:
        params.cfonly = read_int(value_after(argc, argv, i, arg), arg);
        ++i;
        break;
      case Kind::ClassMinimum: {
        const char* class_char = value_after(argc, argv, i, arg);
        const char* value = value_after(argc, argv, i + 1, arg);
        minclass = static_cast<signed char>(class_char[0]);
        record_class_minimum(read_int(value, arg));
        i += 2;
        break;
      }
      case Kind::GenOrder:
        set_genorder(value_after(argc, argv, i, arg));
        ++i;
        break;
      case Kind::Float:
        // Within float's range: the conversion of a larger double is undefined.
        goodratio = static_cast<float>(std::max(-static_cast<double>(FLT_MAX),
                                                std::min(static_cast<double>(FLT_MAX),
                                                         read_real(value_after(argc, argv, i, arg), arg))));
        ++i;
        break;
      case Kind::Double:
        binomial_prob = read_real(value_after(argc, argv, i, arg), arg);
        ++i;
        break;
      case Kind::Format: {
        const char* value = value_after(argc, argv, i, arg);
        if (!parse_input_format(value, params.input.format))
          fatal("-format takes lines, fasta, fastq or auto, not \"%s\"", value);
        ++i;
        break;
      }
      case Kind::GroupPreset: {
        const char* value = value_after(argc, argv, i, arg);
        if (!parse_group_preset(value, params.input.groups))
          fatal("-groups takes protein, dna or none, not \"%s\"", value);
        ++i;
        break;
      }
      case Kind::Revcomp:
        params.input.revcomp = true;
        break;
      case Kind::Mask:
        set_mask(params.input, value_after(argc, argv, i, arg));
        ++i;
        break;
      case Kind::Dedup:
        params.input.dedup = true;
        break;
      case Kind::ResultFile:
        set_result_file(params.results, arg, value_after(argc, argv, i, arg));
        ++i;
        break;
      case Kind::SortOrder: {
        const char* value = value_after(argc, argv, i, arg);
        if (!parse_sort_order(value, params.results.sort))
          fatal("-sort takes pvalue, specificity, ratio, support or pattern, not \"%s\"", value);
        ++i;
        break;
      }
      case Kind::Top:
        params.results.top = read_top(value_after(argc, argv, i, arg));
        ++i;
        break;
      case Kind::Flank:
        params.results.flank = read_flank(value_after(argc, argv, i, arg));
        ++i;
        break;
      case Kind::LongHelp:
      case Kind::Version:
        // Answered by the driver before the banner; nothing to set here.
        break;
      case Kind::Progress:
        params.progress = true;
        break;
      case Kind::Quiet:
        params.quiet = true;
        break;
      case Kind::Threads:
        params.threads = read_threads(value_after(argc, argv, i, arg));
        ++i;
        break;
      case Kind::Flush: {
        const char* value = value_after(argc, argv, i, arg);
        if (!parse_flush_mode(value, params.flush)) fatal("-flush takes line or block, not \"%s\"", value);
        ++i;
        break;
      }
      case Kind::ResultFlag:
        (std::strcmp(arg, "-maximal") == 0         ? params.results.maximal
         : std::strcmp(arg, "-trim_wc") == 0       ? params.results.trim_wc
         : std::strcmp(arg, "-fwer_distinct") == 0 ? params.results.significance.fwer_distinct
         : std::strcmp(arg, "-prosite") == 0       ? params.results.prosite
                                                   : params.results.distinct) = true;
        break;
      case Kind::Alpha:
        (std::strcmp(arg, "-fwer") == 0 ? params.results.significance.fwer : params.results.significance.fdr) =
            read_alpha(value_after(argc, argv, i, arg), arg);
        ++i;
        break;
      case Kind::Permutations:
        params.results.significance.permutations = read_permutations(value_after(argc, argv, i, arg));
        ++i;
        break;
      case Kind::Seed:
        params.results.significance.seed = read_seed(value_after(argc, argv, i, arg));
        ++i;
        break;
      case Kind::Alternative: {
        const char* value = value_after(argc, argv, i, arg);
        if (!parse_alternative(value, params.results.significance.alternative))
          fatal("-alternative takes greater, less or two-sided, not \"%s\"", value);
        ++i;
        break;
      }
    }
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
