#pragma once

// The ranked results of a run: which files to write and which rows to keep.
enum class SortOrder { PValue, Ratio, Support, Pattern };

struct ResultOptions {
  const char* table = nullptr;  // tab-separated table; "-" for standard output
  const char* json = nullptr;   // the same rows as JSON
  const char* sites = nullptr;  // every occurrence of the rows kept
  SortOrder sort = SortOrder::PValue;
  long top = 0;          // rows kept, 0 for all
  bool maximal = false;  // leave out patterns a longer one contains with equal counts
  bool trim_wc = false;  // leave out patterns ending in a wildcard

  bool any() const { return table || json || sites || maximal || trim_wc; }
};

// Parses the value of -sort; false for a word that names no order.
bool parse_sort_order(const char* text, SortOrder& order);
