#pragma once
// Reading the high-precision reference tables of tests/data and keeping the
// worst error per group of cases, shared by the accuracy tests of the
// statistical library.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

// The worst error of a group of cases, with the line that gave it.
struct WorstError {
  double err = 0.0;
  double bound = 0.0;
  std::string where;
  int count = 0;
};

// Errors by group; records one case and fails it (up to 20 reports) when
// beyond `bound`. Returns the number of failures so far.
class ErrorTally {
 public:
  void record(const std::string& group, double err, double bound, double got, const std::string& line) {
    WorstError& w = worst_[group];
    w.bound = bound;
    ++w.count;
    if (!(err <= w.err)) {  // also records a NaN
      w.err = err;
      w.where = line;
    }
    if (!(err <= bound) && ++failures_ <= 20)
      ADD_FAILURE() << line << "\n  got " << got << " error " << err << " bound " << bound;
  }
  int failures() const { return failures_; }
  // The worst case of every group, so that a drift shows before it fails.
  void print(const char* title) const {
    std::printf("%-26s %6s %10s %8s  worst case\n", title, "cases", "worst", "bound");
    for (const auto& [group, w] : worst_)
      std::printf("%-26s %6d %10.3g %8.0g  %s\n", group.c_str(), w.count, w.err, w.bound, w.where.c_str());
  }

 private:
  std::map<std::string, WorstError> worst_;
  int failures_ = 0;
};

// Calls visit(function_name, rest_of_line_stream, line) for every case line
// of tests/data/<file> ('#' lines and blank lines skipped); returns the
// number of case lines.
template <typename Visit>
int for_each_reference_line(const char* file, Visit visit) {
  const std::string path = std::string(MORVA_TEST_DATA) + "/" + file;
  std::ifstream in(path);
  EXPECT_TRUE(in) << "cannot open " << path;
  int lines = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ls(line);
    std::string fn;
    if (!(ls >> fn)) continue;
    ++lines;
    visit(fn, ls, line);
  }
  return lines;
}
