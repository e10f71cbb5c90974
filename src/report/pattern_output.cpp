// Acceptance tests and the report line of a pattern.
#include <cstdio>

#include "alphabet/charset.h"
#include "input/input_classes.h"
#include "input/input_string.h"
#include "run/globals.h"
#include "search/gstree.h"
#include "search/set_walk.h"
#include "sets/set_registry.h"
#include "sets/sets.h"
#include "specfns/specfns_protos.h"

char TMPSTRING[151];

const char* GSTree::treestring(STree_Node* node) {
  // A pattern is at most 149 codes plus the root's own code, except where a
  // subtree moved under a deeper twin is spelled through it; such a pattern
  // is spelled in a buffer of its own length instead of being cut.
  std::size_t codes = 0;
  for (STree_Node* cur = node; cur != nullptr; cur = parent_of(cur)) ++codes;
  char* buffer = TMPSTRING;
  std::size_t end = 150;
  if (codes > 150) {
    long_pattern_.assign(codes + 1, 0);
    buffer = &long_pattern_[0];
    end = codes;
  }
  buffer[end] = 0;
  std::size_t i = end;
  for (STree_Node* cur = node; cur != nullptr; cur = parent_of(cur))
    buffer[--i] = static_cast<char>(cur->code);
  return buffer + i + 1;
}

void GSTree::print_position_set(const int* set) {
  if (showsets <= 3) {
    sets->print(set, stdout, showsets);
    return;
  }
  const std::uint16_t* seq_of_pos = input->seq_of_pos.data();
  const int* seq_end = input->seq_end.data();
  if (showsets == 4) {
    std::printf("Pos:Str:%d<", set_size(set));
    for_each_element(set, coded_length, [&](int p) {
      const int s = seq_of_pos[p];
      std::printf(",%d:%d", p - seq_end[s > 0 ? s - 1 : 0], s);
    });
    std::fputs(">", stdout);
  } else if (showsets == 5) {
    std::fputs("Seq", stdout);
    int last = 0;
    for_each_element(set, coded_length, [&](int p) {
      const int s = seq_of_pos[p];
      if (s != last) std::printf(":%d", s);
      last = s;
    });
  }
}

int GSTree::Print_Pattern(STree_Node* node) {
  Count_Nr_of_Classes(node, nullptr);
  const int K = nr_classes;
  const int* S = cur_seq_counts;
  const int* P = cur_pos_counts;
  if (P[K + 1] < minpos) return 0;
  if (minstrings != 0) {
    if (S[K + 1] < minstrings) return 0;
    if (S[minclass] < minstringsinclass) return 0;
  }
  if (maxstrings != 0 && S[K + 1] > maxstrings) return 0;
  if (maxpos != 0 && P[K + 1] > maxpos) return 0;
  if (only_print_if_gap_allowed != 0 && no_gap_len != 0 &&
      !(node->gap_count != 0 && node->gap_count % no_gap_len == 0))
    return 0;

  // Classes 1 and 2 are compared; the run refuses these tests up front when
  // either class has no input sequence, so no division here is by zero.
  float ratio = 0.0f;
  if (showratio != 0) {
    const int s1 = S[1], s2 = S[2];
    const int t1 = total_string_count[1], t2 = total_string_count[2];
    const double r2 = static_cast<double>(s2) / t2;
    const double r1 = static_cast<double>(s1) / t1;
    const double R = r2 == 0 ? 1000000.0 : r1 / r2;
    if (R < goodratio) return 1;
    ratio = static_cast<float>(R);
  }
  double bp = 0.0;
  if (binomial_prob != 0) {
    const int s1 = S[1], s2 = S[2];
    const int t1 = total_string_count[1], t2 = total_string_count[2];
    const double p = static_cast<double>(s2) / t2;
    bp = binomial_prob > 0 ? specfns::bdtrc(s1 - 1, t1, p) : specfns::bdtr(s1, t1, p);
    if (bp > binomial_prob_compare) return 1;
  }

  charset->print(treestring(node));
  if (costf != 0) std::printf(" %g", static_cast<double>(node->cost));
  std::printf(" %d/%d ", S[K + 1], P[K + 1]);
  if (K > 1) {
    for (int j = 0; j <= K; ++j)
      if (P[j] != 0) std::printf("%s:%d/%d ", input->classes->class_name(j), S[j], P[j]);
  }
  if (showsets != 0) {
    const int* set = node->set_id != nullptr ? node->set_id->set : multimerge_group_sets(node);
    print_position_set(set);
  }
  if (showratio != 0) std::printf(" R:%g", static_cast<double>(ratio));
  if (binomial_prob != 0) std::printf(" BP:%g", bp);
  std::fputs("\n", stdout);
  std::fflush(stdout);
  return 1;
}
