// The statistical library against a 50-digit reference table
// (tools/gen_specfns_reference.py).  Each function, and each evaluation
// branch of the beta-based ones, is held to the accuracy its method can give;
// the worst error of every group is printed so that a regression shows even
// while it is still inside the bound.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "specfns/specfns_protos.h"

namespace {

struct Worst {
  double err = 0.0;
  double bound = 0.0;
  std::string where;
  int count = 0;
};

// Branch letters of the table: P/p power series (direct/logarithmic product),
// D/L continued fraction (direct/logarithmic), W power form, E expm1 form,
// X exact end value.
double beta_bound(char branch) { return (branch == 'p' || branch == 'L') ? 1e-10 : 1e-13; }

double rel_err(double got, double ref) {
  if (ref == 0.0) return std::fabs(got);
  return std::fabs(got - ref) / std::fabs(ref);
}

TEST(SpecfnsAccuracy, MatchesHighPrecisionReference) {
  const std::string path = std::string(MORVA_TEST_DATA) + "/specfns_reference.txt";
  std::ifstream in(path);
  ASSERT_TRUE(in) << "cannot open " << path;

  std::map<std::string, Worst> worst;
  int failures = 0;
  int lines = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ls(line);
    std::string fn;
    ls >> fn;
    double got = 0.0, ref = 0.0, err = 0.0, bound = 0.0;
    std::string group = fn;
    bool tiny_ok = false;  // the reference underflows: only smallness counts

    if (fn == "gammafn" || fn == "lgam" || fn == "log1p" || fn == "expm1") {
      std::string xs, rs;
      ls >> xs >> rs;
      const double x = std::strtod(xs.c_str(), nullptr);
      ref = std::strtod(rs.c_str(), nullptr);
      if (fn == "gammafn") {
        got = specfns::gammafn(x);
        group += x < 0 ? " x<0" : " x>0";
      } else if (fn == "lgam") {
        got = specfns::lgam(x);
        group += x < 0 ? " x<0" : " x>0";
      } else if (fn == "log1p") {
        got = specfns::log1p(x);
      } else {
        got = specfns::expm1(x);
      }
      err = rel_err(got, ref);
      // ln|Gamma| has zeros (at 1 and 2, and between the negative poles):
      // there only an absolute error is meaningful.
      if (fn == "lgam" && std::fabs(ref) < 1.0) {
        err = std::fabs(got - ref);
        group += " |ref|<1 (abs)";
      }
      bound = 1e-14;
    } else if (fn == "incbet" || fn == "bdtr" || fn == "bdtrc") {
      std::string s1, s2, s3, br, rs;
      ls >> s1 >> s2 >> s3 >> br >> rs;
      ref = std::strtod(rs.c_str(), nullptr);
      const double x = std::strtod(s3.c_str(), nullptr);
      if (fn == "incbet") {
        got = specfns::incbet(std::strtod(s1.c_str(), nullptr), std::strtod(s2.c_str(), nullptr), x);
      } else {
        const int k = std::stoi(s1);
        const int n = std::stoi(s2);
        got = fn == "bdtr" ? specfns::bdtr(k, n, x) : specfns::bdtrc(k, n, x);
      }
      group += " " + br;
      bound = beta_bound(br[0]);
      tiny_ok = std::fabs(ref) < 1e-290;
      err = tiny_ok ? 0.0 : rel_err(got, ref);
      if (tiny_ok && !(std::fabs(got) < 1e-280)) err = 1.0;
    } else {
      ADD_FAILURE() << "unknown line: " << line;
      continue;
    }
    ++lines;

    Worst& w = worst[group];
    w.bound = bound;
    ++w.count;
    if (!(err <= w.err)) {  // also records a NaN
      w.err = err;
      w.where = line;
    }
    if (!(err <= bound)) {
      if (++failures <= 20)
        ADD_FAILURE() << line << "\n  got " << got << " error " << err << " bound " << bound;
    }
  }
  EXPECT_GT(lines, 1000);
  EXPECT_EQ(failures, 0);

  std::printf("%-26s %6s %10s %8s  worst case\n", "function/branch", "cases", "worst", "bound");
  for (const auto& [group, w] : worst)
    std::printf("%-26s %6d %10.3g %8.0g  %s\n", group.c_str(), w.count, w.err, w.bound,
                w.where.c_str());
}

}  // namespace
