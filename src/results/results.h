#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "results/pattern_record.h"
#include "results/result_options.h"
#include "results/result_sink.h"
#include "results/significance.h"
#include "results/site_matcher.h"
#include "results/strand_pairs.h"
#include "results/statistics.h"

// Between the search and the sinks: takes every accepted pattern, hands it
// to the sinks that take patterns as found (the report lines; with -maximal
// held to the end of the search), and keeps the rows the ranked sinks need
// (a bounded heap with -top). When the search has ended it judges which
// patterns are maximal, ranks the rows, computes their statistics once and
// hands them to each ranked sink in turn.
class Results {
 public:
  Results(const ResultOptions& options, RunInfo info, std::vector<std::unique_ptr<ResultSink>> sinks);

  // A pattern was counted and tested against the limits; `support` is the
  // sequences of classes 1 and 2 holding it, which decide the smallest
  // p-value it could reach (Tarone's testability). `fill_ends` writes its
  // occurrences, asked for only where a correction needs its sequences.
  template <typename FillEnds>
  void tested(int support, FillEnds fill_ends) {
    ++tested_;
    ends_ready_ = false;
    if (significance_ == nullptr) return;
    const std::uint64_t* set = nullptr;
    if (significance_->wants_set(support)) {
      ends_.clear();
      fill_ends(ends_);
      ends_ready_ = true;  // the same pattern's accept() takes them as they are
      set = sequence_set(ends_);
    }
    significance_->tested(support, set);
  }
  // The floor under the support of the patterns the search queues, where a
  // correction raises it (null: -minstrings alone decides).
  SupportFloor* support_floor() const {
    return significance_ != nullptr && options_.significance.rising_floor() ? significance_.get() : nullptr;
  }

  // The record the search fills for its next accepted pattern; reused, so
  // that a long report allocates nothing per line.
  PatternRecord& next_record() { return scratch_; }

  // Takes the record filled last. `fill_ends` writes the pattern's
  // occurrences into a vector; it is called only for a row whose sites a
  // sink may write, so that a bounded table never copies the sets of the
  // patterns it drops.
  template <typename FillEnds>
  void accept(FillEnds fill_ends) {
    PatternRecord& record = scratch_;
    if (!judge(record)) return;
    if (!ranked_.empty()) {
      record.ends.clear();
      record.class1_ends.clear();
      // A row that may be written needs its class-1 sites, which decide its
      // motif; the sites file and the page need all of them. A row of a
      // large part of the input (a letter, say) seldom ranks among -top
      // rows, and its sites would cost a pass and four bytes a position:
      // they are found again if it does.
      const bool huge = options_.top > 0 && record.positions.back() > huge_row_;
      const bool all_sites = !huge && wants_sites(record);
      // Under both strands a self-complementary pattern finds each site
      // twice; its row counts the site once (the report keeps the search's
      // counts).
      const bool palindrome = strand_pairs_ && strand_pairs_->self_complementary(record.codes);
      std::vector<int> searched;
      const bool in_budget = !huge && would_keep(record);
      if (all_sites || palindrome || in_budget) {
        if (!ends_ready_) {
          ends_.clear();
          fill_ends(ends_);
        }
        if (palindrome) {
          searched = record.positions;
          count_sites_once(record);
        }
        if (!huge) take_class1_ends(record);
        if (all_sites) record.ends.swap(ends_);
      }
      record.sites_dropped = huge;
      keep(record);
      if (site_budget_ > 0) budget_sites(in_budget);
      if (palindrome) record.positions.swap(searched);
    }
    deliver(record);
  }

  // The search has ended: the patterns held for -maximal that stay go to
  // their sinks.
  void search_ended();
  // Ranks the rows and hands them to the ranked sinks.
  void finish();

 private:
  bool judge(PatternRecord& record);
  void take_class1_ends(PatternRecord& record) const;
  // Numbers the motifs of the ranked rows; with -distinct keeps the leads.
  void group_motifs();
  void deliver(const PatternRecord& record);
  bool would_keep(const PatternRecord& record) const;
  bool wants_sites(const PatternRecord& record);
  bool better(const PatternRecord& a, const PatternRecord& b) const;
  void keep(const PatternRecord& record);
  // The rows a bounded table keeps while the search runs: under both
  // strands twice -top, since a pattern and its reverse complement become
  // one row only when ranked.
  long row_bound() const { return strand_pairs_ ? 2 * options_.top : options_.top; }
  // Leaves one occurrence per site (sequence and span) in ends_ and counts
  // the record's positions from them.
  void count_sites_once(PatternRecord& record);
  // The same without the counts (null: not counted).
  void keep_sites_once(const std::string& codes, std::vector<int>* positions);
  // Rows kept to the end of the search (-distinct, -maximal) under -top:
  // the sites of only the best rows, up to site_budget_ bytes, are kept,
  // since the ranking reads the first rows only and the sites of every row
  // can take many times the memory of the search. The row just kept holds
  // its sites when `in_budget`; the worst rows give theirs up.
  void budget_sites(bool in_budget);
  // Finds the occurrences of a row whose sites were given up, as the search
  // had them, and fills its class-1 ends (and its ends, where a sink writes sites).
  void find_sites(PatternRecord& record);
  // A pattern and its reverse complement, both ranked, become one row.
  void merge_strand_pairs();
  void mark_contained();
  std::vector<double> log10_qvalues() const;
  // The bits of the sequences of classes 1 and 2 that hold the occurrences.
  const std::uint64_t* sequence_set(const std::vector<int>& ends);
  // Benjamini-Hochberg over the patterns testable at the -fdr level: the
  // log10 of the largest p-value it rejects (-inf for none).
  double log10_fdr_cut() const;

  ResultOptions options_;
  RunInfo info_;
  std::vector<std::unique_ptr<ResultSink>> found_;   // sinks of patterns as found
  std::vector<std::unique_ptr<ResultSink>> ranked_;  // sinks of ranked rows, in table order
  long site_rows_ = 0;  // the most ranked rows whose sites a sink writes
  int nr_classes_;
  bool judging_;  // statistics and -maximal bookkeeping for every accepted pattern
  PatternRecord scratch_;
  std::vector<int> ends_;  // the occurrences of the pattern taken last
  bool ends_ready_ = false;  // filled by tested() for the pattern accept() takes next
  std::unique_ptr<BackgroundModel> background_;
  // Rows are kept to the end of the search whatever -top says: -maximal
  // and -distinct decide which rows -top counts only then.
  bool unbounded_;
  std::unique_ptr<StrandPairs> strand_pairs_;  // both strands searched: reverse complements are one row
  std::unique_ptr<SiteMatcher> site_matcher_;
  long tested_ = 0;
  // The corrections over the tested patterns (null with one class).
  std::unique_ptr<Significance> significance_;
  std::vector<int> bit_of_seq_;  // per sequence, its bit in a sequence set (-1: not compared)
  std::vector<std::uint64_t> set_words_;
  std::vector<int> all_support_;  // of every accepted pattern, with -fdr
  long accepted_ = 0;
  std::vector<PatternRecord> rows_;  // a heap (worst first) while -top bounds it
  std::vector<PatternRecord> held_;  // by acceptance order, for -maximal
  std::vector<double> all_log10_p_;  // of every accepted pattern, for the q-values
  // Every accepted pattern (in acceptance order, which is a row's `order`):
  // its counts' hash and codes, to judge which patterns are maximal.
  struct Seen {
    std::uint64_t counts;
    std::string codes;
  };
  std::vector<Seen> seen_;
  std::vector<char> contained_;  // per seen pattern, once judged
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  std::vector<PatternRecord> best_;  // a heap of the best rows so far, when only the first rows need sites
  std::size_t site_budget_ = 0;           // bytes; 0: every kept row keeps its sites
  std::size_t site_bytes_ = 0;            // taken by the rows in site_heap_
  long huge_row_ = 0;                     // more positions than this: sites found when read
  std::vector<std::size_t> site_heap_;    // rows_ holding sites, worst first
};
