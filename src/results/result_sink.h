#pragma once
#include <climits>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "results/pattern_record.h"
#include "results/result_options.h"

class CHARSET;
class input_string;
class ProgressMeter;

// Where accepted patterns go. The search hands every accepted pattern to the
// run's Results, which hands it on to the sinks the options chose: the
// report lines as the search finds them, the ranked files once the search
// has ended. A sink sees records and the run's facts, never the search.

// One input class: its report name, sequences and the files they came from.
struct ClassSource {
  std::string name;
  int sequences = 0;
  std::vector<std::string> files;
};

// The run's figures; final when a ranked sink begins.
struct RunSummary {
  long tested = 0;    // patterns counted and tested against the limits
  long accepted = 0;  // patterns that passed them
  long rows = 0;      // rows ranked (after -maximal, -trim_wc and -top)
  double seconds = 0;  // from the start of the search to the ranking
  // The corrections over the tested patterns, a line each ("tarone: ...");
  // none with one class.
  std::vector<std::string> significance;
};

// The classic extras of a report line, as the options asked for them.
struct ReportLineExtras {
  bool cost = false;      // -costf: the pattern's cost
  bool ratio = false;     // -showratio: R:
  bool binomial = false;  // -binomial_prob: BP:
};

struct RunInfo {
  std::string command;  // the command line, quoted for a shell
  const input_string* input = nullptr;
  const CHARSET* charset = nullptr;
  std::vector<std::string> files;    // the input files as given, file 1 at 0
  std::vector<ClassSource> classes;  // classes 1..K at 0..K-1
  std::string unclassified = "No_class";  // the name of class slot 0
  std::vector<std::string> columns;  // the ranked rows' column names
  ResultOptions options;  // which optional columns the rows have
  ProgressMeter* progress = nullptr;
  RunSummary figures;
  int min_gap = 0, max_gap = 0;  // a flexible gap's range, to match sites again
  ReportLineExtras line;
  // The alphabet characters the input holds, STOP characters left out (near
  // 20 for protein, 4 for DNA), and whether all of them are bases.
  std::string letters;
  bool nucleotide = false;
};

// Which records a sink takes: every accepted pattern in the order the search
// accepts it (with -maximal, those that stay, once the search has ended), or
// the ranked rows, best first, with their statistics.
enum class SinkOrder { Search, Ranked };

class ResultSink {
 public:
  static constexpr long kAllRows = LONG_MAX;

  virtual ~ResultSink() = default;
  virtual SinkOrder order() const { return SinkOrder::Ranked; }
  // How many of the first ranked rows need all their sites (`ends`): 0, some, kAllRows.
  virtual long rows_with_sites() const { return 0; }
  // How many of the first ranked rows it writes.
  virtual long rows_written() const { return kAllRows; }

  virtual void begin(const RunInfo&) {}
  virtual void pattern(const PatternRecord& record) = 0;
  virtual void end(const RunSummary&) {}
};

// A sink that writes one file: opened when it begins ("-" is standard
// output), checked and closed when it ends; a file that cannot be written
// ends the run with a message naming it. A regular file is written under a
// temporary name beside it and renamed into place when complete, so that a
// reader never mistakes a cut file for a whole one: a failure or a stop
// signal removes it and leaves an older file as it was. A device or FIFO
// (or a symbolic link, written through) is written directly. Stop signals
// are held while the file is written and acted on between its writes.
class FileSink : public ResultSink {
 public:
  FileSink(std::string name, std::FILE* standard_output);
  ~FileSink() override;
  void begin(const RunInfo& info) final;
  void end(const RunSummary& summary) final;

 protected:
  std::FILE* out() const { return out_; }
  virtual void begin_file(const RunInfo&) {}
  virtual void end_file(const RunSummary&) {}

 private:
  [[noreturn]] void fail(int error_number);
  void open_owned();

  std::string name_;
  std::FILE* standard_output_;
  std::FILE* out_ = nullptr;
  bool owned_ = false;
  bool holding_ = false;    // the stop signals, while the file is written
  std::string temp_name_;   // the file written, when it is renamed at the end
  int partial_slot_ = -1;   // its entry among the files a stop removes
};

// What a sink is made from: its file name (for the report, none), standard
// output's stream for "-", and the rows the HTML page shows.
struct SinkSetting {
  const char* file = nullptr;
  std::FILE* standard_output = stdout;
  long page_rows = 0;
  int flank = 0;  // letters next to the sites that the site matrices count (-flank)
};

// The sinks a run can have, one row each: the report lines, then the ranked
// files in the order they are written. A new output is one file with its
// sink and one row here.
// What a writer reads of a row beyond its fields.
struct SinkReads {
  bool class1_sites = false;  // the class-1 sites (site matrices, logos)
  bool all_sites = false;     // every site (the sites file, the page's rows)
  bool flank = false;         // letters beside the sites (-flank)
};

struct SinkKind {
  const char* name;    // for messages and tests
  const char* option;  // the option naming its file; null for the report
  // Whether the message refusing two outputs on standard output always
  // names it (a page there is rarely meant, so -html only when given).
  bool named_for_stdout;
  const char* synopsis;  // what --help shows of the option, "[-table FILE]"
  const char* help;      // and what it says of it
  std::unique_ptr<ResultSink> (*make)(const SinkSetting& setting);
  // Whether the warning about ranking options given without a result file
  // names it: the first files only, so that the lines scripts look for stay
  // as they were when a file is added.
  bool named_when_unused = true;
  SinkReads reads = {};
};

const std::vector<SinkKind>& sink_kinds();
// The row of a file option ("-table"), or -1.
int sink_index(const char* option);

