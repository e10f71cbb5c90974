#pragma once
#include <array>

// The ranked results of a run: which files to write and which rows to keep.
enum class SortOrder { PValue, Specificity, Ratio, Support, Pattern };

// The one-sided alternatives of the Fisher test (more often in class 1, or
// less often) and its two-sided form (twice the smaller one-sided p-value).
enum class Alternative { Greater, Less, TwoSided };

// Significance beyond the per-pattern statistics: family-wise error control
// (Tarone's testability, with a support floor that rises during the search;
// Westfall-Young permutations) and false discovery rate control.
struct SignificanceOptions {
  double fwer = 0;             // -fwer ALPHA (0: not asked; alpha is then 0.05)
  bool fwer_distinct = false;  // patterns with the same sequences are one test
  long permutations = 0;       // -wy J
  unsigned long long seed = 1;  // -seed S
  double fdr = 0;              // -fdr ALPHA
  Alternative alternative = Alternative::Greater;

  static constexpr double kDefaultAlpha = 0.05;
  double alpha() const { return fwer > 0 ? fwer : kDefaultAlpha; }
  // Whether the search's support floor rises as the patterns found show
  // which supports can no longer be significant.
  bool rising_floor() const { return fwer > 0 || permutations > 0; }
  // Whether each row says if it is significant (a column of 0 and 1).
  bool marks_rows() const { return fwer > 0 || permutations > 0; }
  bool any() const { return fwer > 0 || fwer_distinct || permutations > 0 || fdr > 0; }
};

struct ResultOptions {
  static constexpr int kMaxSinks = 16;
  // Per row of the sink table, the file its option names (null: not asked).
  std::array<const char*, kMaxSinks> files{};
  SortOrder sort = SortOrder::PValue;
  long top = 0;          // rows kept, 0 for all
  bool maximal = false;  // leave out patterns a longer one contains with equal counts
  bool trim_wc = false;  // leave out patterns ending in a wildcard
  bool distinct = false;  // keep only the lead row of each motif (-top counts motifs)
  bool prosite = false;   // a column with the pattern in PROSITE syntax
  int flank = 0;          // -flank K: letters each side of the sites in the site matrices
  SignificanceOptions significance;

  bool any_file() const {
    for (const char* f : files)
      if (f != nullptr) return true;
    return false;
  }
  bool any() const { return any_file() || maximal || trim_wc || significance.any(); }

  // Rows the HTML report shows when -top does not say: a page, not a dump.
  static constexpr long kHtmlRows = 50;
  long html_rows() const { return top > 0 ? top : kHtmlRows; }
};

// Parses the value of -sort; false for a word that names no order.
bool parse_sort_order(const char* text, SortOrder& order);
// Parses the value of -alternative; false for a word that names none.
bool parse_alternative(const char* text, Alternative& alternative);
