// Positions and candidate counts of the children reached through a flexible gap.
#include "alphabet/charset.h"
#include "input/input_string.h"
#include "run/globals.h"
#include "search/gstree.h"
#include "search/set_walk.h"

int GSTree::insert_children_add_gap(STree_Node* node, const int* set) {
  const int alphabet_size = charset->alphabet_size;
  const int total_codes = charset->total_codes;
  const unsigned char* coded = coded_string;
  const unsigned char* stop_flag = charset->stop_flag.data();
  const int length = coded_length;
  // As in the distribution, the write cursors live in a local table and the
  // lists' count words are set once at the end.
  int* lists[128];
  int ends[128];
  for (int x = 0; x <= alphabet_size; ++x) {
    lists[x] = gap_code_positions[x].data();
    ends[x] = lists[x][0];
  }
  // After a gap the group of all characters is an ordinary group.
  const bool groups_here = node->nr_groups < maxgrp;
  const bool tally =
      groups_here && gap_tally_.prepare(*charset, nr_classes, alphabet_size + 1, total_codes);
  SequenceCursor seq(*seq_index_, input->class_of_seq.data());

  // A gap never covers, and a gap child never starts at, a sequence end, a
  // STOP character or a place past the string.
  auto usable = [&](long long q) {
    return q < length && coded[q] != 0 && stop_flag[coded[q]] == 0;
  };
  // Ranges of neighbouring elements overlap; they are merged into one pending
  // interval so every position is appended once and the lists stay sorted.
  long long lo = -1, hi = -2;
  auto flush = [&]() {
    // A list holds the positions after the code, which make the child's set.
    // Two loops: the plain one keeps its cursors in registers.
    if (tally) {
      for (long long q = lo; q <= hi; ++q) {
        const int x = coded[q];
        lists[x][++ends[x]] = static_cast<int>(q + 1);
        seq.advance(static_cast<int>(q));
        gap_tally_.add(x, seq.seq, seq.cls, static_cast<int>(q + 1));
      }
    } else {
      for (long long q = lo; q <= hi; ++q) {
        const int x = coded[q];
        lists[x][++ends[x]] = static_cast<int>(q + 1);
      }
    }
    lo = -1;
    hi = -2;
  };
  // The codes after each element lie scattered over the string: requested
  // ahead, as in the distribution.
  auto visit = [&](int element) {
    const long long p = element;
    if (p + min_gap > hi) flush();
    long long k;
    if (lo > hi) {
      k = 0;
      while (k < min_gap && usable(p + k)) ++k;
      lo = p + k;
    } else {
      k = hi - p;
    }
    while (k < max_gap && usable(p + k)) ++k;
    hi = p + k;
    if (!usable(hi)) --hi;
  };
  for_each_element_prefetching(set, coded_length, visit, coded);
  flush();
  for (int x = 0; x <= alphabet_size; ++x) lists[x][0] = ends[x];

  int* counts = gap_code_counts.data();
  for (int x = 1; x <= alphabet_size; ++x) counts[x] = lists[x][0];
  if (groups_here) {
    sum_group_counts(*charset, counts, alphabet_size + 1, total_codes, least_positions());
    prune_rare_characters(*charset, counts, least_positions());
  } else {
    for (int x = 1; x <= alphabet_size; ++x)
      if (counts[x] < least_positions()) counts[x] = 0;
  }
  return 1;
}
