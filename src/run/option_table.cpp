#include "run/option_table.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "alphabet/stop_mask.h"
#include "results/result_sink.h"
#include "run/error.h"
#include "run/globals.h"
#include "run/report_stream.h"
#include "run/word_choice.h"

namespace {

// Permutations are held as bit sets of the sequences, J of them.
constexpr long kMostPermutations = 100000;
// Flanks wider than this would be more context than motif.
constexpr long kMostFlank = 1000;
// More threads than this would be mostly waiting on each other.
constexpr long kMostThreads = 256;
constexpr int kMaxInputFiles = 254;

const char kKnownOrders[] =
    "Known orders are:\n"
    " 0 - breadth_first  (default)\n"
    " 1 - depth_first\n"
    " 2 - freq_first    Order based on the max number of sequences containing the pattern\n"
    " 3 - nonfreq_first Order based on the min number of sequences containing the pattern\n"
    " X - unknown - new orders will be interesting to test out...\n";

// The readers most options share, each storing into the setting it is given.

// A number read leniently, as the classic options always were (read_int).
OptionReader integer(int* setting) {
  return {1, [setting](const char* word, char* const* values) { *setting = read_int(values[0], word); }, {"1"}};
}

// Set by the word alone.
template <typename T>
OptionReader flag(T* setting) {
  return {0, [setting](const char*, char* const*) { *setting = static_cast<T>(1); }, {}};
}

// A real read leniently (read_real), kept within the setting's range: the
// conversion of a larger double to float is undefined.
template <typename T>
OptionReader real(T* setting) {
  return {1,
          [setting](const char* word, char* const* values) {
            const double most = static_cast<double>(std::numeric_limits<T>::max());
            *setting = static_cast<T>(std::max(-most, std::min(most, read_real(values[0], word))));
          },
          {"0.5"}};
}

// A file name, or any other text, taken as it is.
OptionReader name(char** setting) {
  return {1, [setting](const char*, char* const* values) { *setting = values[0]; }, {"file.txt"}};
}

// One of a fixed set of words, which `words` lists for the message refusing
// any other ("lines, fasta, fastq or auto"); the first of them is the example.
template <typename T>
OptionReader choice(T* setting, bool (*parse)(const char*, T&), const char* words) {
  return {1,
          [=](const char* word, char* const* values) {
            if (!parse(values[0], *setting)) fatal("%s takes %s, not \"%s\"", word, words, values[0]);
          },
          {std::string(words, std::strcspn(words, ", "))}};
}

// Whether `text` is, as written, a whole number from least to most.
bool whole_number(const char* text, long least, long most, long& n) {
  char* end = nullptr;
  errno = 0;
  n = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && errno == 0 && n >= least && n <= most;
}

// A whole number of something (`what`) from least to most, as written; the
// newer options refuse anything else rather than guess.
template <typename T>
OptionReader whole(T* setting, long least, long most, const char* what) {
  return {1,
          [=](const char* word, char* const* values) {
            long n = 0;
            if (!whole_number(values[0], least, most, n)) {
              if (most == LONG_MAX) fatal("%s takes %s of at least %ld, not \"%s\"", word, what, least, values[0]);
              fatal("%s takes %s from %ld to %ld, not \"%s\"", word, what, least, most, values[0]);
            }
            *setting = static_cast<T>(n);
          },
          {std::to_string(least)}};
}

// A level of error: a number strictly between 0 and 1, as written.
OptionReader level(double* setting) {
  return {1,
          [setting](const char* word, char* const* values) {
            const char* text = values[0];
            char* end = nullptr;
            errno = 0;
            const double a = std::strtod(text, &end);
            if (end == text || *end != '\0' || errno != 0 || !(a > 0 && a < 1))
              fatal("%s takes a level strictly between 0 and 1, not \"%s\"", word, text);
            *setting = a;
          },
          {"0.05"}};
}

// What the parse reads but leaves alone: answered before it, or by the loop.
const OptionReader kNothing{};

// The readers of one option each.

OptionReader seed(unsigned long long* setting) {
  return {1,
          [setting](const char* word, char* const* values) {
            const char* text = values[0];
            char* end = nullptr;
            errno = 0;
            const unsigned long long n = std::strtoull(text, &end, 10);
            // strtoull takes blanks and then a minus sign, and wraps what follows
            // it: " -5" must not pass for 2^64 - 5.
            const bool negative = text[std::strspn(text, " \t\n\v\f\r")] == '-';
            if (end == text || *end != '\0' || errno != 0 || negative)
              fatal("%s takes a whole number from 0 to %llu, not \"%s\"", word, ULLONG_MAX, text);
            *setting = n;
          },
          {"7"}};
}

void record_class_minimum(int value) {
  minstringsinclass = value;
  // A class character above 127 gives a negative slot; such a slot can never
  // name a class and is refused once the classes are known.
  if (minclass >= 0 && minclass <= 256) min_strings_in_classes[minclass] = minstringsinclass;
}

// -minstringsinclass class-char nr.
OptionReader class_minimum() {
  return {2,
          [](const char* word, char* const* values) {
            minclass = static_cast<signed char>(values[0][0]);
            record_class_minimum(read_int(values[1], word));
          },
          {"2", "1"}};
}

// -f name: the next empty file slot.
OptionReader input_file(RunParams& params) {
  return {1,
          [&params](const char*, char* const* values) {
            int slot = 1;
            while (slot < 256 && params.input_files[slot] != nullptr) ++slot;
            if (slot > kMaxInputFiles) {
              std::fflush(report_file());
              std::fprintf(stderr, "Too many input files: at most %d can be given with -f\n", kMaxInputFiles);
              fatal_exit();
            }
            params.input_files[slot] = values[0];
          },
          {"file.txt"}};
}

// -ms nr after -f name: the minimum of that file's class.
OptionReader file_minimum(RunParams& params) {
  return {1,
          [&params](const char* word, char* const* values) {
            int slot = 1;
            while (slot < 255 && params.input_files[slot + 1] != nullptr) ++slot;
            minclass = slot;
            record_class_minimum(read_int(values[0], word));
          },
          {"1"}};
}

OptionReader expansion_order() {
  return {1,
          [](const char* word, char* const* values) {
            const char* value = values[0];
            if (std::isdigit(static_cast<unsigned char>(value[0]))) {
              genorder = read_int(value, word);
            } else {
              static const std::pair<const char*, int> kOrders[] = {
                  {"depth_first", 1}, {"breadth_first", 0}, {"freq_first", 2}, {"nonfreq_first", 3}};
              genorder = -1;
              if (!choose_word(value, kOrders, genorder))
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
          },
          {"depth_first"}};
}

// The characters must be able to stand in the STOP line of a generated
// character-set file, which lists single bytes in one word.
OptionReader stop_mask(InputOptions& input) {
  return {1,
          [&input](const char*, char* const* values) {
            const char* value = values[0];
            for (const char* p = value; *p != '\0'; ++p) {
              const unsigned char c = static_cast<unsigned char>(*p);
              if (maskable(c)) continue;
              char shown[8];
              std::snprintf(shown, sizeof shown, c > 0x20 && c < 0x7F ? "'%c'" : "\\x%02X", c);
              // The value is echoed with its control bytes as \xNN: raw, they
              // would act on the terminal the message is read on.
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
          },
          {"*"}};
}

// A row of the sink table: its file, and at most one of them on standard output.
OptionReader result_file(ResultOptions& results) {
  return {1,
          [&results](const char* option, char* const* values) {
            const char* name = values[0];
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
          },
          {"rows.out"}};
}

// Options told of in the classic usage text (usage.cpp), which is kept as it is.
constexpr OptionHelp kInUsage{HelpSection::Usage, 0, nullptr, nullptr};
// On a line whose help another row of the same line gives.
constexpr const char* kSharedHelp = nullptr;

using S = HelpSection;
using U = OptionUse;

// The ranked-results lines after those of the result files (line i + 1 for
// row i of the sink table).
constexpr int kAfterFiles = 100;

}  // namespace

std::vector<OptionRow> option_table(RunParams& params) {
  InputOptions& input = params.input;
  ResultOptions& results = params.results;
  SignificanceOptions& significance = params.results.significance;
  std::vector<OptionRow> rows = {
      {"-h", kNothing, kInUsage, U::Usage},
      {"-v", integer(&verbose_level), kInUsage},
      {"-f", input_file(params), kInUsage, U::Setting, "-ms", file_minimum(params)},
      {"-cf", name(&params.charset_file_name), kInUsage},
      {"-cfonly", integer(&params.cfonly), kInUsage},
      {"-minpos", integer(&minpos), kInUsage},
      {"-minstrings", integer(&minstrings), kInUsage},
      {"-maxpos", integer(&maxpos),
       {S::Limits, 1, "[-maxpos nr]", "at most so many positions / sequences (default 0: no limit)"}},
      {"-maxstrings", integer(&maxstrings), {S::Limits, 1, "[-maxstrings nr]", kSharedHelp}},
      {"-minstringsinclass", class_minimum(), kInUsage},
      {"-maxgrp", integer(&maxgrp), kInUsage},
      {"-min_gap", integer(&min_gap), kInUsage},
      {"-max_gap", integer(&max_gap), kInUsage},
      {"-max_gap_nr", integer(&max_gap_nr), kInUsage},
      {"-no_gap_len", integer(&no_gap_len), kInUsage},
      {"-only_print_if_gap_allowed", integer(&only_print_if_gap_allowed), kInUsage},
      {"-init_gap_len", integer(&init_gap_len), kInUsage},
      {"-minlevel", integer(&minlevel), kInUsage},
      {"-maxlevel", integer(&maxlevel), kInUsage},
      // The usage text names it with -wc; the -minwc line repeats that it is -wc.
      {"-wildcards", integer(&nr_wc_allowed), kInUsage},
      {"-wc", integer(&nr_wc_allowed), kInUsage},
      {"-minwc", integer(&shortest_wc_run),
       {S::Limits, 2, "[-minwc nr]", "shortest wildcard run (default 1); -wildcards nr is -wc nr"}},
      {"-maxwc", integer(&longest_wc_run), kInUsage},
      {"-abandonequal", integer(&abandonequal), kInUsage},
      {"-genorder", expansion_order(), kInUsage},
      {"-freq_set", integer(&freq_set), kInUsage},
      {"-showsets", integer(&showsets), kInUsage},
      {"-showratio", integer(&showratio), kInUsage},
      {"-goodratio", real(&goodratio), kInUsage},
      {"-binomial_prob", real(&binomial_prob), kInUsage},
      {"-costf", integer(&costf), kInUsage},
      {"-reportduplicates", integer(&reportduplicates), kInUsage},
      {"-onepos", flag(&onepos), kInUsage},
      {"-onestr", flag(&onestr), kInUsage},
      {"-format", choice(&input.format, parse_input_format, "lines, fasta, fastq or auto"),
       {S::Input, 1, "[-format lines|fasta|fastq|auto]",
        "how the files are laid out (default lines);\n"
        "gzip and bgzip files read alike, -f - reads standard input"}},
      {"-groups", choice(&input.groups, parse_group_preset, "protein, dna or none"),
       {S::Input, 3, "[-groups protein|dna|none]", "groups added to a generated character set (default none)"}},
      {"-revcomp", flag(&input.revcomp), {S::Input, 2, "[-revcomp]", "search both strands of DNA"}},
      {"-mask", stop_mask(input),
       {S::Input, 4, "[-mask CHARS]",
        "STOP characters of a generated set: no pattern holds them\n"
        "(FASTA/FASTQ default: *, and N in DNA or X in protein)"}},
      {"-dedup", flag(&input.dedup), {S::Input, 5, "[-dedup]", "keep one of identical sequences within a class"}},
      // The result-file options (-table, -json, ...) are the rows of the sink
      // table, so that a new output is told of where it is made.
      {"-sort", choice(&results.sort, parse_sort_order, "pvalue, specificity, ratio, support or pattern"),
       {S::RankedResults, kAfterFiles + 1, "[-sort pvalue|specificity|ratio|support|pattern]",
        "order of the rows (default pvalue; its ties\ngo to the pattern less likely by chance)"},
       U::RankedRows},
      {"-top", whole(&results.top, 1, LONG_MAX, "a number of rows"),
       {S::RankedResults, kAfterFiles + 2, "[-top N]", "keep the first N rows (default all; 50 on the HTML page)"},
       U::RankedRows},
      {"-flank", whole(&results.flank, 0, kMostFlank, "a number of letters"),
       {S::RankedResults, kAfterFiles + 6, "[-flank K]",
        "K letters each side of the sites in the site matrices\n(-meme, the page's logos; default 0)"}},
      {"-maximal", flag(&results.maximal),
       {S::RankedResults, kAfterFiles + 3, "[-maximal]", "leave out patterns a longer one holds with the same counts"}},
      {"-trim_wc", flag(&results.trim_wc),
       {S::RankedResults, kAfterFiles + 4, "[-trim_wc]", "leave out patterns that end in a wildcard"}},
      {"-distinct", flag(&results.distinct),
       {S::RankedResults, kAfterFiles + 5, "[-distinct]",
        "one row per motif: leave out rows that hit the sites\nof a better one (-top then counts motifs)"},
       U::RankedRows},
      {"-prosite", flag(&results.prosite),
       {S::RankedResults, kAfterFiles + 7, "[-prosite]", "a column with the pattern in PROSITE syntax: G-x(4)-G-K-[ST]"}},
      {"-fwer", level(&significance.fwer),
       {S::Significance, 1, "[-fwer ALPHA]",
        "mark rows significant at family-wise error ALPHA (Tarone's\n"
        "testable patterns; the support floor rises as the search goes)"},
       U::MarkedRows},
      {"-fwer_distinct", flag(&significance.fwer_distinct),
       {S::Significance, 2, "[-fwer_distinct]", "patterns held by the same sequences are one test"}, U::RankedRows},
      {"-wy", whole(&significance.permutations, 1, kMostPermutations, "a number of permutations"),
       {S::Significance, 3, "[-wy J]",
        "Westfall-Young FWER over J label permutations (wy_p;\n"
        "J >= 1000 advised)"},
       U::MarkedRows},
      {"-seed", seed(&significance.seed), {S::Significance, 3, "[-seed S]", kSharedHelp}},
      {"-fdr", level(&significance.fdr),
       {S::Significance, 4, "[-fdr ALPHA]", "mark rows at false discovery rate ALPHA (Tarone-BH)"}, U::RankedRows},
      {"-alternative", choice(&significance.alternative, parse_alternative, "greater, less or two-sided"),
       {S::Significance, 5, "[-alternative greater|less|two-sided]",
        "the Fisher test's alternative (default greater:\nmore often in class 1)"},
       U::RankedRows},
      {"-flush", choice(&params.flush, parse_flush_mode, "line or block"),
       {S::ReportAndProgress, 1, "[-flush line|block]", "flush the report per line (default) or through a large buffer"}},
      {"--help", kNothing, {S::ReportAndProgress, 3, "[--help]", "this text, exit status 0"}, U::LongHelp},
      {"--version", kNothing, {S::ReportAndProgress, 4, "[--version]", "version and build, exit status 0"}, U::Version},
      // The older spelling, kept for scripts; --help shows only --version.
      {"-version", kNothing, {S::ReportAndProgress, 4, nullptr, kSharedHelp}, U::Version},
      {"-progress", flag(&params.progress),
       {S::ReportAndProgress, 2, "[-progress]", "a progress line on standard error about every second"}},
      {"-quiet", flag(&params.quiet),
       {S::ReportAndProgress, 5, "[-quiet]", "no progress marks or running notes on standard error"}},
      {"-threads", whole(&params.threads, 1, kMostThreads, "a number of threads"),
       {S::ReportAndProgress, 6, "[-threads N]", "threads that search (default 1); the output is the same\nfor every N"}},
  };
  const std::vector<SinkKind>& kinds = sink_kinds();
  for (std::size_t i = 0; i < kinds.size(); ++i)
    if (kinds[i].option != nullptr)
      rows.push_back({kinds[i].option, result_file(results),
                      {S::RankedResults, static_cast<int>(i), kinds[i].synopsis, kinds[i].help}, U::ResultFile});
  return rows;
}
