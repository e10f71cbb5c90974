// Acceptance tests and the report line of a pattern.
#include "report/pattern_output.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "input/input_classes.h"
#include "input/input_string.h"
#include "results/results.h"
#include "results/statistics.h"
#include "run/error.h"
#include "run/globals.h"
#include "sets/set_walk.h"
#include "sets/sets.h"

PatternReport::PatternReport(const input_string& input, const Sets& sets, Results* results)
    : input_(input),
      sets_(sets),
      results_(results),
      nr_classes_(input.classes->nr_classes),
      domain_(input.length) {}

void PatternReport::print_position_set(const int* set, std::FILE* out) const {
  if (showsets <= 3) {
    sets_.print(set, out, showsets);
    return;
  }
  const int* seq_end = input_.seq_end.data();
  if (showsets == 4) {
    std::fprintf(out, "Pos:Str:%d<", set_size(set));
    for_each_element(set, domain_, [&](int p) {
      const int s = input_.seq_of(p);
      std::fprintf(out, ",%d:%d", p - seq_end[s > 0 ? s - 1 : 0], s);
    });
    std::fputs(">", out);
  } else if (showsets == 5) {
    std::fputs("Seq", out);
    int last = 0;
    for_each_element(set, domain_, [&](int p) {
      const int s = input_.seq_of(p);
      if (s != last) std::fprintf(out, ":%d", s);
      last = s;
    });
  }
}

std::string PatternReport::shown_set(const FoundPattern& found) const {
  // A packed set comes as a list. A group's set is shown so, the form a
  // union of its members' sets has always been shown in; a character
  // node's set in the form the registry keeps sets in.
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  if (out == nullptr) error("Out of memory: couldn't hold a pattern line");
  const int* set = found.set.get();
  if (found.shown_by_size && !sets_.prefers_list(set_size(set))) {
    int* bits = sets_.Make_BA_from_L(set);
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

int PatternReport::Print_Pattern(const FoundPattern& found) {
  const int K = nr_classes_;
  const int* S = found.seqs;
  auto fill_ends = [&](std::vector<int>& ends) {
    const int* set = found.set.get();
    ends.reserve(static_cast<std::size_t>(set_size(set)));
    for_each_element(set, domain_, [&](int p) { ends.push_back(p); });
  };
  if (results_ != nullptr) results_->tested(K >= 2 ? S[1] + S[2] : 0, fill_ends);
  const int* P = found.positions;
  if (P[K + 1] < minpos) return 0;
  if (minstrings != 0) {
    if (S[K + 1] < minstrings) return 0;
    if (S[minclass] < minstringsinclass) return 0;
  }
  if (maxstrings != 0 && S[K + 1] > maxstrings) return 0;
  if (maxpos != 0 && P[K + 1] > maxpos) return 0;
  if (only_print_if_gap_allowed != 0 && no_gap_len != 0 &&
      !(found.gap_count > 0 && found.gap_count % no_gap_len == 0))
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
  if (results_ == nullptr) return 1;

  // The sinks (the report line first of them) take the pattern from here.
  PatternRecord& record = results_->next_record();
  record.codes.assign(found.codes);
  record.length = found.level;
  record.seqs.assign(S, S + K + 2);
  record.positions.assign(P, P + K + 2);
  record.cost = found.cost;
  record.line_ratio = ratio;
  record.line_bp = bp;
  record.shown_set.clear();
  if (showsets != 0) record.shown_set = shown_set(found);
  results_->accept(fill_ends);
  return 1;
}
