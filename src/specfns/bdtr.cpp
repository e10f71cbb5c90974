// Binomial distribution tails, through P[X <= k] = I_(1-p)(n-k, k+1) and
// P[X > k] = I_p(k+1, n-k).
#include <cmath>

#include "specfns/mconf.h"
#include "specfns/specfns_protos.h"

namespace specfns {

// P[X <= k] for X binomial with n trials and success probability p.
double bdtr(int k, int n, double p) {
  if (p < 0.0 || p > 1.0 || k < 0 || n < k) mtherr("bdtr", DOMAIN);
  if (k == n) return 1.0;
  const double dn = static_cast<double>(n) - static_cast<double>(k);
  if (k == 0) return std::pow(1.0 - p, dn);
  return incbet(dn, k + 1.0, 1.0 - p);
}

// P[X > k]; k < 0 is the whole distribution.
double bdtrc(int k, int n, double p) {
  if (p < 0.0 || p > 1.0) mtherr("bdtrc", DOMAIN);
  if (k < 0) return 1.0;
  if (n < k) mtherr("bdtrc", DOMAIN);
  if (k == n) return 0.0;
  const double dn = static_cast<double>(n) - static_cast<double>(k);
  if (k == 0) {
    // 1 - (1-p)^dn cancels badly for small p.
    if (p < 0.01) return -specfns::expm1(dn * specfns::log1p(-p));
    return 1.0 - std::pow(1.0 - p, dn);
  }
  return incbet(k + 1.0, dn, p);
}

}  // namespace specfns
