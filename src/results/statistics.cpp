#include "results/statistics.h"

#include "specfns/logtail.h"
#include "specfns/specfns_protos.h"

namespace {
constexpr double kLn10 = 2.302585092994045684;
}

double class_ratio(int s1, int t1, int s2, int t2) {
  const double f2 = static_cast<double>(s2) / t2;
  return f2 == 0 ? 1000000.0 : (static_cast<double>(s1) / t1) / f2;
}

double binomial_tail(int s1, int t1, int s2, int t2, int sign) {
  const double p = static_cast<double>(s2) / t2;
  return sign > 0 ? specfns::bdtrc(s1 - 1, t1, p) : specfns::bdtr(s1, t1, p);
}

double log_binomial_tail(int s1, int t1, int s2, int t2, int sign) {
  const double p = static_cast<double>(s2) / t2;
  return sign > 0 ? specfns::log_bdtrc(s1 - 1, t1, p) : specfns::log_bdtr(s1, t1, p);
}

double log10_fisher_greater(int s1, int t1, int s2, int t2) {
  return specfns::log_fisher_greater(s1, t1, s2, t2) / kLn10;
}
