#pragma once
#include <array>

// The ranked results of a run: which files to write and which rows to keep.
enum class SortOrder { PValue, Specificity, Ratio, Support, Pattern };

struct ResultOptions {
  static constexpr int kMaxSinks = 16;
  // Per row of the sink table, the file its option names (null: not asked).
  std::array<const char*, kMaxSinks> files{};
  SortOrder sort = SortOrder::PValue;
  long top = 0;          // rows kept, 0 for all
  bool maximal = false;  // leave out patterns a longer one contains with equal counts
  bool trim_wc = false;  // leave out patterns ending in a wildcard
  bool distinct = false;  // keep only the lead row of each motif (-top counts motifs)

  bool any_file() const {
    for (const char* f : files)
      if (f != nullptr) return true;
    return false;
  }
  bool any() const { return any_file() || maximal || trim_wc; }

  // Rows the HTML report shows when -top does not say: a page, not a dump.
  static constexpr long kHtmlRows = 50;
  long html_rows() const { return top > 0 ? top : kHtmlRows; }
};

// Parses the value of -sort; false for a word that names no order.
bool parse_sort_order(const char* text, SortOrder& order);
