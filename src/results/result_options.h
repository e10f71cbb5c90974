#pragma once

// The ranked results of a run: which files to write and which rows to keep.
enum class SortOrder { PValue, Ratio, Support, Pattern };

struct ResultOptions {
  const char* table = nullptr;  // tab-separated table; "-" for standard output
  const char* json = nullptr;   // the same rows as JSON
  const char* sites = nullptr;  // every occurrence of the rows kept
  const char* html = nullptr;   // the report page: the first rows with logos
  SortOrder sort = SortOrder::PValue;
  long top = 0;          // rows kept, 0 for all
  bool maximal = false;  // leave out patterns a longer one contains with equal counts
  bool trim_wc = false;  // leave out patterns ending in a wildcard

  bool any() const { return table || json || sites || html || maximal || trim_wc; }

  // Rows the HTML report shows when -top does not say: a page, not a dump.
  static constexpr long kHtmlRows = 50;
  long html_rows() const { return top > 0 ? top : kHtmlRows; }
};

// Parses the value of -sort; false for a word that names no order.
bool parse_sort_order(const char* text, SortOrder& order);
