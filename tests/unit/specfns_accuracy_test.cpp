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

#include "reference_table.h"
#include "specfns/specfns_protos.h"

namespace {

double rel_err(double got, double ref) {
  return ref == 0.0 ? std::fabs(got) : std::fabs(got - ref) / std::fabs(ref);
}

TEST(SpecfnsAccuracy, MatchesHighPrecisionReference) {
  ErrorTally tally;
  const int lines = for_each_reference_line("specfns_reference.txt", [&](const std::string& fn,
                                                                        std::istringstream& ls,
                                                                        const std::string& line) {
    std::string a, b, c, branch, r;
    ls >> a;
    double got = 0.0, err = 0.0, bound = 1e-14;
    std::string group = fn;
    const double x = std::strtod(a.c_str(), nullptr);
    if (fn == "gammafn" || fn == "lgam" || fn == "log1p" || fn == "expm1") {
      ls >> r;
      const double ref = std::strtod(r.c_str(), nullptr);
      got = fn == "gammafn" ? specfns::gammafn(x)
            : fn == "lgam"  ? specfns::lgam(x)
            : fn == "log1p" ? specfns::log1p(x)
                            : specfns::expm1(x);
      if (fn == "gammafn" || fn == "lgam") group += x < 0 ? " x<0" : " x>0";
      err = rel_err(got, ref);
      // ln|Gamma| has zeros (at 1 and 2, and between the negative poles):
      // there only an absolute error is meaningful.
      if (fn == "lgam" && std::fabs(ref) < 1.0) {
        err = std::fabs(got - ref);
        group += " |ref|<1 (abs)";
      }
    } else if (fn == "incbet" || fn == "bdtr" || fn == "bdtrc") {
      ls >> b >> c >> branch >> r;
      const double ref = std::strtod(r.c_str(), nullptr);
      const double p = std::strtod(c.c_str(), nullptr);
      if (fn == "incbet")
        got = specfns::incbet(x, std::strtod(b.c_str(), nullptr), p);
      else
        got = (fn == "bdtr" ? specfns::bdtr : specfns::bdtrc)(std::stoi(a), std::stoi(b), p);
      // Branches: P/p power series (direct/logarithmic product), D/L
      // continued fraction (direct/logarithmic), W power form, E expm1 form,
      // X exact end value.
      group += " " + branch;
      bound = (branch[0] == 'p' || branch[0] == 'L') ? 1e-10 : 1e-13;
      if (std::fabs(ref) < 1e-290)  // the reference underflows: only smallness counts
        err = std::fabs(got) < 1e-280 ? 0.0 : 1.0;
      else
        err = rel_err(got, ref);
    } else {
      ADD_FAILURE() << "unknown line: " << line;
      return;
    }
    tally.record(group, err, bound, got, line);
  });
  EXPECT_GT(lines, 1000);
  EXPECT_EQ(tally.failures(), 0);
  tally.print("function/branch");
}

}  // namespace
