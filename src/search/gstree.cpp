#include "search/gstree.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "alphabet/charset.h"
#include "input/input_string.h"
#include "run/error.h"
#include "run/globals.h"
#include "run/report_stream.h"
#include "search/lookahead.h"
#include "sets/set_registry.h"
#include "search/p_queue.h"
#include "sets/sets.h"

void check_search_settings(const input_string& input) {
  const int last_slot = input.classes->nr_classes + 1;
  if (minclass < 0 || minclass > last_slot) {
    std::fflush(report_file());
    std::fprintf(stderr,
                 "The class slot %d of -minstringsinclass or -ms is not a class slot of this input "
                 "(0..%d)\n",
                 minclass, last_slot);
    fatal_exit();
  }
  if (freq_set < 0 || freq_set > last_slot) {
    std::fflush(report_file());
    std::fprintf(stderr, "The class slot %d of -freq_set is not a class slot of this input (0..%d)\n",
                 freq_set, last_slot);
    fatal_exit();
  }
  if (showratio != 0 || binomial_prob != 0) {
    // The ratio and the binomial test divide by the sequences of classes 1 and 2.
    long long in_class[3] = {0, 0, 0};
    for (int k = 1; k <= input.nr_sequences; ++k) {
      const int c = input.class_of_seq[k];
      if (c == 1 || c == 2) ++in_class[c];
    }
    if (last_slot == 2) in_class[2] = input.nr_sequences;  // slot 2 holds the totals then
    for (int c = 1; c <= 2; ++c) {
      if (in_class[c] == 0 || last_slot < c) {
        std::fflush(report_file());
        std::fprintf(stderr,
                     "The goodness ratio and the binomial test compare example classes 1 and 2, "
                     "but class %d has no input sequence\n",
                     c);
        fatal_exit();
      }
    }
  }
}

namespace {

void print_settings_echo(int freq_slot) {
  std::FILE* out = report_file();
  std::fprintf(out, "\n\n");
  std::fprintf(out, " -minpos     = %d\t-maxpos %d\n", minpos, maxpos);
  std::fprintf(out, " -minstrings = %d\t-maxstrings %d\n", minstrings, maxstrings);
  std::fprintf(out, " -minstringsinclass %d %d\n", minclass, minstringsinclass);
  std::fprintf(out, " -minlevel   = %d\n", minlevel);
  std::fprintf(out, " -maxlevel   = %d\n", maxlevel);
  std::fprintf(out, " -onepos     = %d\n", onepos);
  std::fprintf(out, " -onestr     = %d\n", onestr);
  std::fprintf(out, "\n -maxgrp     = %d\n", maxgrp);
  std::fprintf(out, " -nr_wc_allowed = %d\n", nr_wc_allowed);
  std::fprintf(out, " -shortest_wc_run = %d\n", shortest_wc_run);
  std::fprintf(out, " -longest_wc_run = %d\n", longest_wc_run);
  std::fprintf(out, "\n -max_gap_nr = %d gaps of length\n", max_gap_nr);
  std::fprintf(out, "    (-min_gap=%d,-max_gap=%d) are allowed\n -no_gap_len = %d", min_gap,
               max_gap, no_gap_len);
  std::fprintf(out, " Gap can be introduced only after so many positions\n -init_gap_len = %d",
               init_gap_len);
  std::fprintf(out,
      " Initial value for position/gap count - be careful...\n -only_print_if_gap_allowed = %d",
      only_print_if_gap_allowed);
  std::fprintf(out, " When printing allowed...\n\n -abandonequal %d\n", abandonequal);
  std::fprintf(out, " -reportduplicates = %d\n", reportduplicates);
  std::fprintf(out, "\n -genorder %d\n", genorder);
  std::fprintf(out, "   -freq_set %d\n", freq_slot);
  std::fprintf(out, "\n -showsets   = %d\n", showsets);
  std::fprintf(out, " -showratio  = %d\n", showratio);
  std::fprintf(out, " -goodratio  = %g\n", static_cast<double>(goodratio));
  std::fprintf(out, " -binomial_prob = %g\n", binomial_prob);
  std::fprintf(out, "                  %g\n", binomial_prob_compare);
  std::fprintf(out, " -costf = %d\n", costf);
  std::fprintf(out, "\n\n");
}

}  // namespace

GSTree::GSTree(input_string* in, Results* results_to, ProgressMeter* progress_to, SupportFloor* floor)
    : freq_slot(0),
      total_slot(0),
      input(in),
      charset(in ? in->charset.get() : nullptr),
      nr_classes(0),
      coded_string(nullptr),
      coded_length(0),
      root_block(nullptr),
      set_registry(nullptr),
      sets(nullptr),
      cur_pos_counts(nullptr),
      cur_seq_counts(nullptr),
      results(results_to),
      progress(progress_to),
      floor_(floor) {
  if (charset == nullptr || input == nullptr) error("Charset or strings missing\n");
  coded_string = input->coded;
  coded_length = input->length;
  nr_classes = input->classes->nr_classes;

  if (verbose_level > 1) {
    std::fprintf(report_file(), "# Number of all input strings was %d\n", input->nr_sequences);
    std::fprintf(report_file(), "# Full length of all input strings in internal representation is %d\n",
                 coded_length);
    std::fprintf(report_file(), "# Input strings belonged to total of %d classes\n", nr_classes);
    std::fprintf(report_file(), "# Count the number of the occurrences of all characters ...\n");
  }
  long long occurrences[256] = {};
  for (int p = 0; p < coded_length; ++p) ++occurrences[coded_string[p]];
  if (verbose_level > 1) {
    for (int v = 0; v < 256; ++v) {
      if (occurrences[v] == 0) continue;
      charset->print(static_cast<char>(v));
      std::fprintf(report_file(), " %lld\n", occurrences[v]);
    }
    std::fprintf(report_file(), "\n\n");
  }
  std::fprintf(report_file(), "# Character set size: %d\n", charset->alphabet_size);

  try {
    for (int v = 0; v < 256; ++v) occurrences_[v] = occurrences[v];
    if (costf == 1) costs_.enable();
    for (int x = 1; x <= charset->alphabet_size; ++x) crossable_[x] = charset->stop_flag[x] == 0;
    pos_counts.assign(nr_classes + 2, 0);
    seq_counts.assign(nr_classes + 2, 0);
    total_slot = nr_classes + 1;
    freq_slot = freq_set != 0 ? freq_set : total_slot;
    search_input_.charset = charset;
    search_input_.coded = coded_string;
    search_input_.coded_length = coded_length;
    search_input_.seq_index = &input->seq_index;
    search_input_.class_of_seq = input->class_of_seq.data();
    search_input_.nr_classes = nr_classes;
    search_input_.total_slot = total_slot;
    search_input_.freq_slot = freq_slot;
    search_input_.crossable = crossable_;
    search_input_.occurrences = occurrences_;
    search_input_.floor = floor_;
    own_ = std::make_unique<Expander>(search_input_, true);
  } catch (const std::bad_alloc&) {
    error("Out of memory: couldn't allocate the scratch arrays of the pattern trie");
  }
  if (verbose_level > 3) {
    // The room each code's list of positions gets (the separator's is never filled).
    const std::size_t full = static_cast<std::size_t>(coded_length) + 2;
    std::fprintf(report_file(), "# Char nr. 0 gets space %zu\n", full);
    for (int k = 1; k <= charset->alphabet_size; ++k)
      std::fprintf(report_file(), "# Char nr. %d gets space %lld\n", k, occurrences[k]);
    if (max_gap_nr != 0) {
      std::fprintf(report_file(), "# Char nr. *%d gets space %zu\n", 0, full);
      for (int k = 1; k <= charset->alphabet_size; ++k) {
        std::fprintf(report_file(), "# Char nr. *%d %d ", k + charset->total_codes, k + 128);
        charset->print(static_cast<char>(k + 128));
        std::fprintf(report_file(), " gets space %lld\n", occurrences[k]);
      }
    }
  }
  show_occurrence_counts = 1;
  cur_pos_counts = pos_counts.data();
  cur_seq_counts = seq_counts.data();
  binomial_prob_compare = binomial_prob < 0 ? -binomial_prob : binomial_prob;
  print_settings_echo(freq_slot);
}

GSTree::~GSTree() {
  if (total_string_count == totals_.data()) total_string_count = nullptr;
}

STree_Node* GSTree::newchildren(int n) {
  const std::size_t records = static_cast<std::size_t>(n) + 1;
  if (chunk_used_ + records > chunk_size_) {
    const std::size_t size = records > 65536 ? records : 65536;
    STree_Node* chunk = new (std::nothrow) STree_Node[size];
    if (chunk == nullptr) error("Out of memory: couldn't create new children block \n");
    node_chunks_.emplace_back(chunk);
    if (!costs_.add_chunk(chunk, size)) error("Out of memory: couldn't create new children block \n");
    chunk_used_ = 0;
    chunk_size_ = size;
  }
  STree_Node* block = node_chunks_.back().get() + chunk_used_;
  chunk_used_ += records;
  for (std::size_t i = 0; i < records; ++i) {
    block[i] = STree_Node{};
    block[i].gap_count = static_cast<std::int8_t>(init_gap_len);
  }
  block->nr_children = static_cast<std::uint8_t>(n);
  block->nr_unexpanded() = static_cast<std::uint8_t>(n);
  return block;
}

void GSTree::test() {
  if (verbose_level > 10 && input != nullptr) {
    input->test();
    std::fprintf(report_file(), "\n\n# Check the full-string:\n");
    std::fprintf(report_file(), "# String-length: %d\n", coded_length);
    input->print(reinterpret_cast<const char*>(coded_string), coded_length);
  } else {
    std::fprintf(report_file(), "# Input String not tested \n");
  }
}
