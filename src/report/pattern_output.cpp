// Acceptance tests and the report line of a pattern.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "alphabet/charset.h"
#include "input/input_classes.h"
#include "input/input_string.h"
#include "results/results.h"
#include "run/error.h"
#include "run/globals.h"
#include "run/progress.h"
#include "run/report_stream.h"
#include "search/gstree.h"
#include "sets/set_walk.h"
#include "sets/set_registry.h"
#include "sets/sets.h"
#include "results/statistics.h"

char TMPSTRING[151];

const char* GSTree::treestring(STree_Node* node) {
  // A pattern is at most 149 codes plus the root's own code, except where a
  // subtree moved under a deeper twin is spelled through it; such a pattern
  // is spelled in a buffer of its own length instead of being cut.
  const STree_Node* header = block_header(node);
  if (header != prefix_header_ || abandonequal != 0) {
    prefix_codes_.clear();
    for (STree_Node* cur = header->parent(); cur != nullptr; cur = parent_of(cur))
      prefix_codes_.push_back(static_cast<char>(cur->code));
    // A block whose parent is not linked yet is spelled but not remembered.
    const bool linked = header->parent() != nullptr || header == root_block;
    prefix_header_ = abandonequal != 0 || !linked ? nullptr : header;
  }
  const std::size_t codes = prefix_codes_.size() + 1;
  char* buffer = TMPSTRING;
  std::size_t end = 150;
  if (codes > 150) {
    long_pattern_.assign(codes + 1, 0);
    buffer = &long_pattern_[0];
    end = codes;
  }
  buffer[end] = 0;
  std::size_t i = end;
  buffer[--i] = static_cast<char>(node->code);
  for (char code : prefix_codes_) buffer[--i] = code;
  return buffer + i + 1;
}

void GSTree::print_position_set(const int* set, std::FILE* out) {
  if (showsets <= 3) {
    sets->print(set, out, showsets);
    return;
  }
  const int* seq_end = input->seq_end.data();
  if (showsets == 4) {
    std::fprintf(out, "Pos:Str:%d<", set_size(set));
    for_each_element(set, coded_length, [&](int p) {
      const int s = input->seq_of(p);
      std::fprintf(out, ",%d:%d", p - seq_end[s > 0 ? s - 1 : 0], s);
    });
    std::fputs(">", out);
  } else if (showsets == 5) {
    std::fputs("Seq", out);
    int last = 0;
    for_each_element(set, coded_length, [&](int p) {
      const int s = input->seq_of(p);
      if (s != last) std::fprintf(out, ":%d", s);
      last = s;
    });
  }
}

std::string GSTree::shown_set(STree_Node* node) {
  // A packed set comes as a list. A group's set is shown so, the form a
  // union of its members' sets has always been shown in; a character
  // node's set in the form the registry keeps sets in.
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  if (out == nullptr) error("Out of memory: couldn't hold a pattern line");
  const int* set = set_of(node);
  if (has_packed_set(node) && is_character_node(node, charset->alphabet_size) && !sets->prefers_list(set_size(set))) {
    int* bits = sets->Make_BA_from_L(set);
    print_position_set(bits, out);
    Sets::del_set(bits);
  } else {
    print_position_set(set, out);
  }
  std::fclose(out);
  std::string shown(text, size);
  std::free(text);
  return shown;
}

int GSTree::Print_Pattern(STree_Node* node) {
  Count_Nr_of_Classes(node, nullptr);
  const int K = nr_classes;
  const int* S = cur_seq_counts;
  auto fill_ends = [&](std::vector<int>& ends) {
    const int* set = set_of(node);
    ends.reserve(static_cast<std::size_t>(set_size(set)));
    for_each_element(set, coded_length, [&](int p) { ends.push_back(p); });
  };
  if (results != nullptr) results->tested(K >= 2 ? S[1] + S[2] : 0, fill_ends);
  const int* P = cur_pos_counts;
  if (P[K + 1] < minpos) return 0;
  if (minstrings != 0) {
    if (S[K + 1] < minstrings) return 0;
    if (S[minclass] < minstringsinclass) return 0;
  }
  if (maxstrings != 0 && S[K + 1] > maxstrings) return 0;
  if (maxpos != 0 && P[K + 1] > maxpos) return 0;
  if (only_print_if_gap_allowed != 0 && no_gap_len != 0 &&
      !(node->gap_count > 0 && node->gap_count % no_gap_len == 0))
    return 0;

  // Classes 1 and 2 are compared; the run refuses these tests up front when
  // either class has no input sequence, so no division here is by zero.
  float ratio = 0.0f;
  if (showratio != 0) {
    const double R = class_ratio(S[1], total_string_count[1], S[2], total_string_count[2]);
    if (R < goodratio) return 1;
    ratio = static_cast<float>(R);
  }
  double bp = 0.0;
  if (binomial_prob != 0) {
    bp = binomial_tail(S[1], total_string_count[1], S[2], total_string_count[2], binomial_prob > 0 ? 1 : -1);
    if (bp > binomial_prob_compare) return 1;
  }
  if (results == nullptr) return 1;

  // The sinks (the report line first of them) take the pattern from here.
  PatternRecord& record = results->next_record();
  record.codes.assign(treestring(node));
  record.length = node->level;
  record.seqs.assign(S, S + K + 2);
  record.positions.assign(P, P + K + 2);
  record.cost = costs_.get(node);
  record.line_ratio = ratio;
  record.line_bp = bp;
  record.shown_set.clear();
  if (showsets != 0) record.shown_set = shown_set(node);
  results->accept(fill_ends);
  return 1;
}
