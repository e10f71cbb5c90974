#pragma once
// Acceptance tests and the report line of a pattern.
#include <cstdio>
#include <string>

#include "report/found_pattern.h"

class input_string;
class Results;
class Sets;

class PatternReport {
 public:
  // `results` takes the accepted patterns (null: nothing does); `sets` shows
  // position sets in the forms of -showsets.
  PatternReport(const input_string& input, const Sets& sets, Results* results);

  // Tests a pattern against the limits, the goodness ratio and the binomial
  // test, and hands it to the results when it passes. 0 when it fails the
  // limits, else 1 (whether the ratio or probability let it through or not).
  int Print_Pattern(const FoundPattern& found);

 private:
  void print_position_set(const int* set, std::FILE* out) const;
  // The pattern's position set as -showsets shows it.
  std::string shown_set(const FoundPattern& found) const;

  const input_string& input_;
  const Sets& sets_;
  Results* results_;
  int nr_classes_;
  int domain_;
};
