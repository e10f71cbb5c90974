#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "results/pattern_record.h"
#include "results/result_options.h"

class input_string;
class CHARSET;

// The ranked results of a run: takes every accepted pattern from the report,
// keeps the rows the options ask for (a bounded heap with -top), and at the
// end writes the table, the JSON rows and the sites. The report's own lines
// stay the report's; only -trim_wc and -maximal act on them too.
class Results {
 public:
  // `files` as the input stage got them (1.., null-ended); `command` the
  // command line for the provenance lines; `table_stream` standard output's
  // original stream when the table goes there, else null.
  Results(const ResultOptions& options, const input_string& input, char** files,
          std::string command, std::FILE* table_stream);

  // A pattern was counted and tested against the limits.
  void tested() { ++tested_; }
  // The report's lines are held to the end, where -maximal can judge them.
  bool holds_lines() const { return options_.maximal; }

  // Takes an accepted pattern (codes, text, length, counts); fills in its
  // statistics. `fill_ends` writes the pattern's occurrences into a vector;
  // it is called only for a row that is kept while sites are asked for, so
  // that a bounded table never copies the sets of patterns it drops. False
  // when the pattern's report line is to be left out (-trim_wc).
  template <typename FillEnds>
  bool accept(PatternRecord record, FillEnds fill_ends) {
    if (!judge(record)) return false;
    if ((options_.sites != nullptr && would_keep(record)) || (options_.html != nullptr && html_wants_sites(record)))
      fill_ends(record.ends);
    keep(std::move(record));
    return true;
  }
  // The report line of the pattern accepted last, held with -maximal.
  void hold_line(std::string line);

  // Writes the held lines that survive -maximal to standard output.
  void print_held_lines();
  bool is_maximal(const PatternRecord& r) const {
    return contained_.empty() || contained_[static_cast<std::size_t>(r.order)] == 0;
  }
  // Ranks the rows and writes every file asked for; ends the run with a
  // message when one cannot be written.
  void finish();

  // Column order of the table and the JSON rows.
  std::vector<std::string> column_names() const;

 private:
  // Statistics and bookkeeping of an accepted pattern; false for -trim_wc.
  bool judge(PatternRecord& record);
  bool would_keep(const PatternRecord& record) const;
  bool ends_in_wildcard(const std::string& codes) const;
  bool better(const PatternRecord& a, const PatternRecord& b) const;
  void keep(PatternRecord record);
  void mark_contained();
  std::vector<double> log10_qvalues() const;
  std::vector<std::string> row_fields(const PatternRecord& r, long rank, double log10_q) const;
  using Writer = void (Results::*)(std::FILE*, const std::vector<double>&) const;
  // Writes one file ("-" is the table's standard output) or ends the run.
  void write_file(const char* name, Writer writer, const std::vector<double>& q) const;
  void write_table(std::FILE* out, const std::vector<double>& q) const;
  void write_json(std::FILE* out, const std::vector<double>& q) const;
  void write_sites(std::FILE* out, const std::vector<double>& q) const;
  // The HTML report (html_results.cpp): its rows need their sites too, but
  // only the few it shows.
  bool html_wants_sites(const PatternRecord& record);
  void write_html(std::FILE* out, const std::vector<double>& q) const;
  std::vector<std::string> provenance() const;
  // Per class slot 1..K: its sequences and the numbers of the files (1..)
  // they came from, in increasing order.
  struct ClassSource {
    int sequences = 0;
    std::vector<int> files;
  };
  std::vector<ClassSource> class_sources() const;

  ResultOptions options_;
  const input_string& input_;
  const CHARSET& charset_;
  std::vector<std::string> files_;
  std::string command_;
  std::FILE* table_stream_;
  int nr_classes_;
  int binomial_sign_;
  long tested_ = 0;
  long accepted_ = 0;
  std::vector<PatternRecord> rows_;  // a heap (worst first) while -top bounds it
  std::vector<double> all_log10_p_;  // of every accepted pattern, for the q-values
  std::vector<std::pair<long, std::string>> held_lines_;  // by acceptance order
  // Every accepted pattern (in acceptance order, which is a row's `order`):
  // its counts' hash and codes, to judge which patterns are maximal.
  struct Seen {
    std::uint64_t counts;
    std::string codes;
  };
  std::vector<Seen> seen_;
  std::vector<char> contained_;  // per seen pattern, once judged
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  std::vector<PatternRecord> html_best_;  // a heap of the best rows so far, for -html without -top
};

// A probability given by its log10, written as printf's %.3g would write
// it, also far below the smallest double ("3.2e-400").
std::string format_log10(double log10_value);
