#include "run/driver.h"


#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "alphabet/charset.h"
#include "input/input_classes.h"
#include "input/input_string.h"
#include "run/error.h"
#include "run/globals.h"
#include "run/options.h"
#include "run/output_paths.h"
#include "run/progress.h"
#include "run/report_stream.h"
#include "run/thread_room.h"
#include "run/stop_signals.h"
#include "run/version.h"
#include "run/word_choice.h"
#include "results/result_sink.h"
#include "results/results.h"
#include "results/row_fields.h"
#include "search/gstree.h"
#include "sets/set_registry.h"
#include "specfns/specfns_protos.h"

#ifndef MORVA_MAIN_SOURCE
#define MORVA_MAIN_SOURCE "main"
#endif

namespace {

void print_banner() {
  std::fputs("# \n", report_file());
  std::fputs("# MORVA - discovery of the patterns shared by families of sequences"
             " (pattern discovery)\n",
             report_file());
  std::fputs("# Version " MORVA_VERSION_TAG " translated " MORVA_MAIN_SOURCE " " __DATE__ " " __TIME__ "\n",
             report_file());
  std::fputs("# morva -h    for help on usage\n", report_file());
  std::fputs("# \n\n", report_file());
}

void echo_input_files(const RunParams& params) {
  for (int k = 1; k < 256 && params.input_files[k] != nullptr; ++k) {
    std::fprintf(chatter_file(), "Input file nr %d = %s\n", k, params.input_files[k]);
    std::fprintf(report_file(), "# Input file nr.%d = %s (file nr is used also as example class name \n", k,
                params.input_files[k]);
    std::fprintf(report_file(), "#                    -ms:%d %d  nr of strings where pattern should exist\n", k,
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

// The alphabet characters the input holds, STOP characters left out.
std::string input_letters(const input_string& input) {
  const CHARSET& charset = *input.charset;
  std::array<bool, 256> used{};
  for (int p = 0; p < input.length; ++p) used[input.coded[p]] = true;
  std::string letters;
  for (int c = 1; c <= charset.alphabet_size; ++c)
    if (used[static_cast<std::size_t>(c)] && charset.stop_flag[static_cast<std::size_t>(c)] == 0)
      letters += static_cast<char>(charset.code_to_char[static_cast<std::size_t>(c)]);
  return letters;
}

// With "-table -" (or another result file on "-") standard output carries
// that file and nothing else: the report, from the banner on, goes to a
// stream that discards it, and the result sink writes to standard output.
void set_report_aside(RunObjects& objects) {
  std::FILE* nowhere = open_discarding_stream();
  if (nowhere == nullptr) fatal("cannot set the report aside for the result file: %s", std::strerror(errno));
  objects.report_aside.reset(nowhere);
  objects.report_before_aside = report_file();
  set_report_file(nowhere);
}

// The sinks the options chose, in the order of the sink table: the report
// lines unless a result file takes standard output, and every file asked for.
std::vector<std::unique_ptr<ResultSink>> chosen_sinks(const ResultOptions& options) {
  const std::vector<SinkKind>& kinds = sink_kinds();
  bool file_on_stdout = false;
  for (std::size_t i = 0; i < kinds.size(); ++i)
    if (options.files[i] != nullptr && std::strcmp(options.files[i], "-") == 0) file_on_stdout = true;
  std::vector<std::unique_ptr<ResultSink>> sinks;
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    const bool chosen = kinds[i].option == nullptr ? !file_on_stdout : options.files[i] != nullptr;
    if (!chosen) continue;
    SinkSetting setting;
    setting.file = options.files[i];
    setting.standard_output = stdout;
    setting.page_rows = options.html_rows();
    setting.flank = options.flank;
    sinks.push_back(kinds[i].make(setting));
  }
  return sinks;
}

// -sort, -top and -distinct order and cut the ranked rows only: given without any
// result file they would do nothing, which is said rather than passed over.
// (-maximal and -trim_wc act on the report lines too, which a run without
// result files always writes.)
void warn_unused_ranking(int argc, char** argv, const ResultOptions& options) {
  if (options.significance.permutations == 0 && early_option_flag(argc, argv, "-seed"))
    warning("-seed is ignored: it seeds the permutations of -wy, which is not given");
  if (early_option_flag(argc, argv, "-flank")) {
    // The writers that read flanks, named from the last row of the table up.
    std::vector<const char*> readers;
    bool read = false;
    for (std::size_t i = sink_kinds().size(); i-- > 0;)
      if (sink_kinds()[i].reads.flank) {
        readers.push_back(sink_kinds()[i].option);
        read = read || options.files[i] != nullptr;
      }
    if (!read)
      warning("-flank is ignored: it widens the site matrices of %s, and %s written",
              word_list(readers).c_str(), readers.size() == 2 ? "neither is" : "none is");
  }
  if (options.any_file()) return;
  std::vector<const char*> files;
  for (const SinkKind& kind : sink_kinds())
    if (kind.option != nullptr && kind.named_when_unused) files.push_back(kind.option);
  const std::string names = word_list(files);
  const std::vector<OptionHelpRow> rows = option_help_rows();
  for (const OptionHelpRow& row : rows)
    if (row.use == OptionUse::RankedRows && early_option_flag(argc, argv, row.word))
      warning("%s is ignored: it orders or filters only the rows of %s, and none is written", row.word,
              names.c_str());
  for (const OptionHelpRow& row : rows)
    if (row.use == OptionUse::MarkedRows && early_option_flag(argc, argv, row.word))
      warning("%s marks only the rows of %s, and none is written; its rising support floor still "
              "shortens the search", row.word, names.c_str());
}

// The threads the search may use: more than one only where each expansion
// depends on its node alone, so that computing some ahead changes nothing.
int search_threads(const RunParams& params) {
  if (params.threads <= 1) return 1;
  const char* reason = abandonequal != 0 ? "-abandonequal moves subtrees as equal sets are found"
                       : params.results.significance.rising_floor()
                           ? "the rising support floor of -fwer and -wy prunes by the patterns found before"
                           : nullptr;
  if (reason == nullptr) return params.threads;
  warning("-threads %d: %s, so each expansion depends on those before it; searching with one thread",
          params.threads, reason);
  return 1;
}

int run(int argc, char** argv, RunObjects& objects) {
  // Answered before the banner, so that their output is theirs alone.
  if (early_option_use(argc, argv, OptionUse::Version)) {
    print_version(stdout);
    finish_report();
    return 0;
  }
  if (early_option_use(argc, argv, OptionUse::LongHelp)) {
    print_help(stdout);
    finish_report();
    return 0;
  }
  if (output_goes_to_stdout(argc, argv)) set_report_aside(objects);
  FlushMode flush = FlushMode::Line;
  if (const char* mode = early_option_value(argc, argv, "-flush")) parse_flush_mode(mode, flush);
  set_report_flushing(flush);
  print_banner();
  set_default_settings();
  RunParams params;
  parse_options(argc, argv, params);
  set_quiet(params.quiet);
  validate_settings(params);
  warn_unused_ranking(argc, argv, params.results);
  const int threads = search_threads(params);

  if (params.input_files[1] == nullptr) {
    std::fflush(report_file());
    std::fputs("\n\nMissing filename  [-f filename]\n", stderr);
    print_usage(stderr);
    return 1;
  }
  check_output_paths(params);
  echo_input_files(params);

  params.input.classes_are_compared = showratio != 0 || goodratio != 0.0f || binomial_prob != 0.0;
  params.input.progress = params.progress;
  {
    const StopsActWhileReading stops_act;
    objects.input = std::make_unique<input_string>(params.input_files, params.charset_file_name,
                                                   params.cfonly, params.input);
  }
  input_string* input = objects.input.get();
  std::fputs("input_string OK\n", chatter_file());
  if (params.cfonly != 0) {
    finish_report();
    return 0;
  }
  if (verbose_level == 1000) {
    finish_report();
    return 1;
  }
  if ((input->length <= 99 && verbose_level > 1) || verbose_level > 10) input->test();
  if (verbose_level > 10) std::fputs("# Make preparations for the pattern tree construction\n", report_file());

  check_search_settings(*input);
  if (params.results.significance.any() && input->classes->nr_classes < 2)
    fatal("-fwer, -fwer_distinct, -wy, -fdr and -alternative compare classes 1 and 2, and this input has one "
          "class: give a second file (or class) as the background");
  RunInfo info;
  info.command = command_line(argc, argv);
  info.input = input;
  info.charset = input->charset.get();
  for (int f = 1; params.input_files[f] != nullptr; ++f) info.files.emplace_back(params.input_files[f]);
  info.classes = class_sources(*input, info.files);
  info.unclassified = input->classes->class_name(0);
  info.columns = column_names(*input, params.results);
  info.min_gap = min_gap;
  info.max_gap = max_gap;
  info.line.cost = costf != 0;
  info.line.ratio = showratio != 0;
  info.line.binomial = binomial_prob != 0;
  info.letters = input_letters(*input);
  info.nucleotide = !info.letters.empty() && info.letters.find_first_not_of("ACGTUNacgtun") == std::string::npos;
  info.options = params.results;
  if (params.progress) objects.progress = std::make_unique<ProgressMeter>();
  info.progress = objects.progress.get();
  objects.results = std::make_unique<Results>(params.results, std::move(info),
                                              chosen_sinks(params.results));
  objects.tree = std::make_unique<GSTree>(input, objects.results.get(), objects.progress.get(),
                                          objects.results->support_floor());
  GSTree* tree = objects.tree.get();
  tree->set_threads(threads_within_memory_limit(threads));
  std::fputs("\n\n# Start the creation of patterns:\n\n\n", report_file());
  hold_report_lines();
  tree->STreePQ();
  // A stop held back during the search ends the run here, before the
  // ranking and the result files (each of which has its own stop points).
  stop_point();
  objects.results->search_ended();
  stop_point();
  if (verbose_level > 1) {
    std::fputs("\n # How many sets and sizes:\n", report_file());
    tree->registry().test();
  }
  std::fputs("\n\n# Patterns are ready\n", report_file());
  tree->test();
  objects.results->finish();
  finish_report();
  return 0;
}

}  // namespace

namespace {

// What was written goes out before the message, so that the streams interleave.
void flush_before_message() {
  std::fflush(report_file());
  std::fflush(stdout);
}

}  // namespace

int morva_run(int argc, char** argv, RunObjects& objects) {
  try {
    return run(argc, argv, objects);
  } catch (const FatalError& e) {
    // The message is written; what the run allocated stays with its owners.
    return e.status;
  } catch (const specfns::MathException& e) {
    flush_before_message();
    std::fprintf(stderr, "Math error in function %s: %s\n", e.function(), e.type());
    return 1;
  } catch (const std::bad_alloc&) {
    flush_before_message();
    std::fputs("Out of memory\n", stderr);
    return 1;
  }
}

int morva_main(int argc, char** argv) {
  // The input and the trie live until the process ends, as every node and
  // set of the search points into them; they are held here rather than
  // destroyed, which would only cost time at the end of a large run.
  static RunObjects* objects = new RunObjects;
  return morva_run(argc, argv, *objects);
}

void RunObjects::ReportAside::operator()(std::FILE* f) const { std::fclose(f); }

RunObjects::RunObjects() = default;
RunObjects::~RunObjects() {
  end_report_flushing();
  if (report_aside && report_file() == report_aside.get()) set_report_file(report_before_aside);
}
