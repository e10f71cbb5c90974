#pragma once
#include <string>
#include <vector>

// One accepted pattern as the result writers see it.
struct PatternRecord {
  std::string codes;  // the pattern's codes, first position first
  std::string text;   // the pattern as the report spells it
  int length = 0;     // pattern positions (a flexible gap and its element are one)
  // Per class slot 0..K+1 as the counts of the search: slot j is class j,
  // slot K+1 the total.
  std::vector<int> seqs, positions;
  // Classes 1 and 2 compared (NaN unless the run has two classes or more).
  double ratio = 0, bp = 0, log10_bp = 0, log10_p = 0;
  // Occurrences (each the position after the last matched character), kept
  // only when the sites are written.
  std::vector<int> ends;
  long order = 0;  // acceptance order in the search
};
