#pragma once
#include <string>
#include <utility>
#include <vector>

#include "results/logo.h"

// The HTML report: one self-contained page (inline CSS and SVG, a few lines
// of script to sort the table) with the run's provenance, the ranked rows
// and, per row, a sequence logo, the share of each class holding the pattern
// and where in the sequences its occurrences start. The page is built from
// plain data so that it can be written and tested without a run.

struct HtmlInputClass {
  std::string name;
  int sequences = 0;
  std::vector<std::string> files;
};

struct HtmlClassShare {
  std::string name;
  int seqs = 0;   // sequences of the class holding the pattern
  int total = 0;  // sequences of the class
};

struct HtmlMotif {
  std::vector<std::string> fields;  // the row as the table writes it
  std::string pattern;
  long motif = 0;     // the motif the row belongs to (0: none given)
  bool lead = true;   // the first row of its motif; the others fold under it
  std::vector<LogoElement> elements;  // the logo: class 1's sites
  long sites = 0;                     // class-1 sites the logo is built from
  std::string sites_class;            // class 1's name
  // The logo of the background's sites (class 2), drawn small when they are
  // at least kLeastBackgroundSites.
  std::vector<LogoElement> background;
  long background_sites = 0;
  std::string background_class;
  std::vector<HtmlClassShare> classes;
  std::vector<double> starts;  // each occurrence's start / sequence length, 0 <= x < 1
};

struct HtmlReport {
  std::string command;
  std::string version;
  std::vector<HtmlInputClass> inputs;
  std::string charset_file;
  std::string alphabet;
  std::vector<std::pair<std::string, std::string>> groups;  // name, members
  int alphabet_letters = 0;  // N of the logos: alphabet characters the input uses
  bool nucleotide = false;
  long tested = 0, accepted = 0, table_rows = 0;
  // The corrections over the tested patterns, "name: text" each; none with one class.
  std::vector<std::string> significance;
  double seconds = 0;
  std::vector<std::string> columns;
  std::vector<HtmlMotif> motifs;
};

// Fewer background sites than this make no logo worth a look.
constexpr long kLeastBackgroundSites = 5;

// Bins of the histogram of occurrence starts.
constexpr int kStartBins = 20;

// Counts of `starts` per bin of width 1/bins (a start of 1 or more falls
// into the last bin, below 0 into the first).
std::vector<int> start_histogram(const std::vector<double>& starts, int bins = kStartBins);

std::string html_report_page(const HtmlReport& report);
