#pragma once
#include <cstdio>
#include <vector>

#include "input/input_options.h"
#include "results/result_options.h"
#include "run/report_stream.h"

// Run parameters that are not global settings: handed to the input stage.
struct RunParams {
  // Slot 0 unused; files in slots 1.. in command-line order; the list ends at
  // the first null slot, so at most 254 files fit.
  char* input_files[256] = {};
  char* charset_file_name = nullptr;
  int cfonly = 0;
  InputOptions input;  // -format, -revcomp, -groups
  ResultOptions results;  // the result files, -sort, -top, -maximal, -trim_wc
  FlushMode flush = FlushMode::Line;  // -flush
  bool progress = false;              // -progress
  bool quiet = false;                 // -quiet
  int threads = 1;                    // -threads
};

// What an option acts on: where it is answered, and when it is said to do nothing.
enum class OptionUse {
  Setting,     // a setting of the run, always in effect
  Usage,       // -h: the usage text, then the end of the run
  LongHelp,    // --help, answered before the banner
  Version,     // --version and its older spellings, answered before the banner
  ResultFile,  // names a result file: a row of the sink table
  RankedRows,  // orders or filters only the rows of the result files
  MarkedRows,  // marks the rows of the result files, and raises the search's support floor
};

// The value of the last occurrence of an option that takes one value, read
// before the parse (the report's stream must be set up before the banner),
// walking the words as parse_options does, without effects; null if absent.
const char* early_option_value(int argc, char** argv, const char* word);
// Whether an option is given, read the same way.
bool early_option_flag(int argc, char** argv, const char* word);
// Whether any option of this use is given (--version or -version), read the same way.
bool early_option_use(int argc, char** argv, OptionUse use);

// Whether the command line sends a result file (a row of the sink table) to
// standard output ("-"), read before anything is printed so that nothing
// else goes there. Reads the words as parse_options does, without effects.
bool output_goes_to_stdout(int argc, char** argv);

// Where --help tells of an option: in the classic usage text, typed as users
// know it, or in one of the sections of "Further options", in this order.
enum class HelpSection { Usage, Limits, Input, RankedResults, Significance, ReportAndProgress };

// What --help says of one option. Rows of the usage text leave the rest empty.
// In a further section the rows print by `line`; rows giving the same line
// share it: their synopses are joined with a blank in table order and one of
// them holds the help (`text` null on the others), while a row without a
// synopsis is a second spelling that adds nothing to its line.
struct OptionHelp {
  HelpSection section;
  int line;              // from 1 within the section; 0 in the usage text
  const char* synopsis;  // "[-table FILE]"
  const char* text;      // after "# "; a '\n' starts a line under the first
};

struct OptionHelpRow {
  const char* word;
  OptionHelp help;
  OptionUse use;
};

// The option table in its order, read-only, as --help, the warnings and the tests see it.
std::vector<OptionHelpRow> option_help_rows();

void print_usage(std::FILE* stream);
// The usage text followed by the newer options and examples (--help).
void print_help(std::FILE* stream);
// Name, version, compiler and htslib versions (--version).
void print_version(std::FILE* stream);

// Lenient number readers of the command line: leading blanks and a sign are
// allowed, reading stops at the first character that does not fit, and text
// without a number gives 0; a number beyond the type's range gives its
// largest value. With `option` named, a value not read as written (no
// number, text after it, out of range) is reported in one warning line.
int read_int(const char* text, const char* option = nullptr);
double read_real(const char* text, const char* option = nullptr);

// Parses argv into the global settings and `params`; ends the run for -h and
// for every refused argument.
void parse_options(int argc, char** argv, RunParams& params);

// Clamps, swaps and fatal checks that follow the parse, in their fixed order.
void validate_settings(const RunParams& params);
