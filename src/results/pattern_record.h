#pragma once
#include <string>
#include <vector>

#include "results/packed_ends.h"

// One accepted pattern as every result sink sees it: what the search found
// (codes, counts, the extras of its report line) and, for the ranked sinks,
// the statistics and rank the ranking gave it.
struct PatternRecord {
  std::string codes;  // the pattern's codes, first position first
  std::string text;   // the pattern as the report spells it
  int length = 0;     // pattern positions (a flexible gap and its element are one)
  // Per class slot 0..K+1 as the counts of the search: slot j is class j,
  // slot K+1 the total.
  std::vector<int> seqs, positions;

  // The report line's extras, as the acceptance tests computed them.
  float cost = 0;          // printed with -costf
  float line_ratio = 0;    // R: with -showratio
  double line_bp = 0;      // BP: with -binomial_prob
  std::string shown_set;   // the position set as -showsets shows it

  // Classes 1 and 2 compared (NaN unless the run has two classes or more).
  double ratio = 0, bp = 0, log10_bp = 0, log10_p = 0;
  // log10 of the chance of a match at one position of the background.
  double log10_bg = 0;
  // Filled by the ranking for the rows it writes.
  double log10_e = 0, log10_q = 0;  // E-value and q-value (NaN without p-value)
  double log10_tarone = 0;          // p times the tested patterns that could reach p
  // With -wy, the permutation p-value (+infinity above the threshold: only
  // known to exceed alpha).
  double log10_wy = 0;
  // 1 or 0 where the run asked (-fwer or -wy; -fdr), -1 where it did not.
  int significant = -1, fdr_significant = -1;
  bool maximal = true;              // no longer accepted pattern holds it with equal counts
  long rank = 0;                    // 1.. in the order of -sort
  long motif = 0;                   // 1.., the lead row's rank among the motifs
  std::string prosite;              // the pattern in PROSITE syntax, where asked

  // Occurrences (each the position after the last matched character), kept
  // only for the rows whose sites are written.
  std::vector<int> ends;
  // Those in class-1 sequences, for every row that may be written (they
  // decide its motif): kept for many rows, so packed.
  PackedEnds class1_ends;
  // Neither kept while the search ran (a row ranked too low to be likely
  // read); found again from the input if the ranking reaches the row.
  bool sites_dropped = false;
  long order = 0;  // acceptance order in the search
};
