// Logarithms of binomial and hypergeometric tails.
//
// One probability of a binomial law is taken in the saddle-point form
//   ln C(n,x) a^x b^(n-x) = ln sqrt(n / (2 pi x (n-x))) + e(n) - e(x) - e(n-x)
//                           - D(x, n a) - D(n-x, n b)          (a + b = 1),
// where e is the remainder of Stirling's formula and D(x, M) = x ln(x/M) + M - x
// is non-negative.  Every part is either small or no larger than the result,
// so the logarithm keeps its relative precision where lgam(n+1) - lgam(x+1) -
// ... would cancel: ln 65535! is about 6.6e5, and one ulp of it is 1e-10.
//
// A tail is then the probability of its first term times a sum of products of
// term ratios, taken outward from the start of the tail, so the sum lies in
// [1, n+1] and nothing overflows or underflows.  Only the tail away from the
// mode is summed: its terms fall, the sum ends within some ten standard
// deviations, and the other tail is its complement through log1p.
#include "specfns/logtail.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace specfns {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();
constexpr double LN_SQRT_2PI = 0.91893853320467274178;

// e(n) = ln n! - ln(sqrt(2 pi n) (n/e)^n) for integral n >= 1.
double stirlerr(double n) {
  // Below 16 the asymptotic series is not yet accurate to a double.
  static const double small[16] = {
      0.0,                     0.081061466795327258220, 0.041340695955409294094,
      0.027677925684998339149, 0.020790672103765093112, 0.016644691189821192163,
      0.013876128823070747999, 0.011896709945891770095, 0.010411265261972096497,
      0.0092554621827127329177, 0.0083305634333628712565, 0.007573675487951840795,
      0.0069428401072095298657, 0.0064089941880042070684, 0.0059513701127588477356,
      0.005554733551962801371};
  if (n < 16.0) return small[static_cast<int>(n)];
  const double r = 1.0 / (n * n);
  return (1.0 / 12 - (1.0 / 360 - (1.0 / 1260 - (1.0 / 1680 - r / 1188) * r) * r) * r) / n;
}

// D(x, M) = x ln(x/M) + M - x for x > 0, given d = x - M to full precision.
// Near x = M the two parts cancel, so there it is summed as a series in
// v = d / (x + M): D = d v + 2x (v^3/3 + v^5/5 + ...).
double bd0(double x, double M, double d) {
  if (std::fabs(d) < 0.1 * (x + M)) {
    const double v = d / (x + M), v2 = v * v;
    double s = d * v, e = 2.0 * x * v;
    for (double j = 3.0;; j += 2.0) {
      e *= v2;
      const double s1 = s + e / j;
      if (s1 == s) return s;
      s = s1;
    }
  }
  // x / M would overflow for a subnormal M.
  const double lr = M > 1e-290 ? std::log(x / M) : std::log(x) - std::log(M);
  return x * lr - d;
}

// ln C(n,x) a^x b^(n-x) for integral 0 <= x <= n and a + b = 1 exactly, from
// na = n a and nb = n b (to relative precision), d = x - n a (to full
// precision; then n - x - n b = -d), and la = ln a, lb = ln b for the ends.
double log_term(double x, double n, double na, double nb, double d, double la, double lb) {
  if (x == 0.0) return n * lb;
  if (x == n) return n * la;
  const double y = n - x;
  return 0.5 * std::log(n / (x * y)) - LN_SQRT_2PI + stirlerr(n) - stirlerr(x) - stirlerr(y) -
         bd0(x, na, d) - bd0(y, nb, -d);
}

// ln(1 + r_0 + r_0 r_1 + ...) over `count` ratios r_j = ratio(j).  The ratios
// must not increase, which holds for the terms of a unimodal law read away
// from its mode; then all that follows a term t is at most t r / (1 - r).
template <class Ratio>
double log_series(int count, Ratio ratio) {
  double s = 1.0, t = 1.0;
  for (int j = 0; j < count; ++j) {
    const double r = ratio(j);
    t *= r;
    s += t;
    if (t * r <= 0x1p-55 * s * (1.0 - r)) break;
  }
  return std::log(s);
}

// ln(1 - e^x) for x <= 0, each form where it does not cancel.
double log1m_exp(double x) {
  return x > -0.6931471805599453 ? std::log(-std::expm1(x)) : std::log1p(-std::exp(x));
}

// The binomial law with n trials and success probability p, 0 < p < 1.
class Binomial {
 public:
  Binomial(int n, double p)
      : n_(n), p_(p), q_(1.0 - p), lp_(std::log(p)), lq_(std::log1p(-p)),
        mode_(std::floor((n + 1.0) * p)) {}

  // Whether the terms fall from x upward (else they fall from x - 1 down).
  bool upper_from(int x) const { return x >= mode_; }

  // ln P[X >= m], summed upward from m.
  double log_upper(int m) const {
    const double pq = p_ / q_;
    return log_pmf(m) + log_series(n_ - m, [&](int j) {
             const double x = m + j;
             return (n_ - x) / (x + 1.0) * pq;
           });
  }

  // ln P[X <= k], summed downward from k.
  double log_lower(int k) const {
    const double qp = q_ / p_;
    return log_pmf(k) + log_series(k, [&](int j) {
             const double x = k - j;
             return x / (n_ - x + 1.0) * qp;
           });
  }

 private:
  double log_pmf(int x) const {
    // q_ may be rounded, but n q_ only needs relative precision; x - n p is
    // exact to one rounding, and it fixes n - x - n(1 - p) as its negative.
    const double n = n_;
    return log_term(x, n, n * p_, n * q_, std::fma(-n, p_, x), lp_, lq_);
  }

  int n_;
  double p_, q_, lp_, lq_, mode_;
};

}  // namespace

double log_bdtrc(int k, int n, double p) {
  if (n < 0 || !(p >= 0.0 && p <= 1.0)) return NaN;
  if (k < 0) return 0.0;
  if (k >= n || p == 0.0) return -INF;
  if (p == 1.0) return 0.0;
  const Binomial law(n, p);
  return law.upper_from(k + 1) ? law.log_upper(k + 1) : log1m_exp(law.log_lower(k));
}

double log_bdtr(int k, int n, double p) {
  if (n < 0 || !(p >= 0.0 && p <= 1.0)) return NaN;
  if (k < 0) return -INF;
  if (k >= n || p == 0.0) return 0.0;
  if (p == 1.0) return -INF;
  const Binomial law(n, p);
  return law.upper_from(k + 1) ? log1m_exp(law.log_upper(k + 1)) : law.log_lower(k);
}

double log_fisher_greater(int a, int n1, int b, int n2) {
  if (a < 0 || b < 0 || a > n1 || b > n2) return NaN;
  // X counts the successes among the n1 draws; it cannot fall below lo.
  const double K = static_cast<double>(a) + b, N = static_cast<double>(n1) + n2;
  const double F = N - K, lo = std::max(0.0, K - n2), hi = std::min(K, double(n1));
  if (a <= lo) return 0.0;
  // Now n1 >= a >= 1 and n2 > b >= 0, so 0 < n1/N < 1.
  //
  // P[X = x] = b(x; K) b(n1 - x; N - K) / b(n1; N) for binomial laws b of any
  // one success probability; p = n1/N keeps every factor near its mode.  The
  // logarithms of p and 1 - p are taken from the smaller of the two.
  const double p = n1 / N, q = n2 / N;
  const double lp = p < 0.5 ? std::log(p) : std::log1p(-q);
  const double lq = q < 0.5 ? std::log(q) : std::log1p(-p);
  const double log_denominator = log_term(n1, N, n1, n2, 0.0, lp, lq);
  auto log_pmf = [&](double x) {
    const double d = (x * N - K * n1) / N;  // x - K p; the numerator is exact
    return log_term(x, K, K * p, K * q, d, lp, lq) +
           log_term(n1 - x, F, F * p, F * q, -d, lp, lq) - log_denominator;
  };
  const double mode = std::floor((n1 + 1.0) * (K + 1.0) / (N + 2.0));
  const double c = n2 - K + 1.0;  // f(x+1)/f(x) = (K-x)(n1-x) / ((x+1)(c+x))
  if (a >= mode) {
    return log_pmf(a) + log_series(static_cast<int>(hi) - a, [&](int j) {
             const double x = a + j;
             return (K - x) * (n1 - x) / ((x + 1.0) * (c + x));
           });
  }
  const int k = a - 1;
  return log1m_exp(log_pmf(k) + log_series(k - static_cast<int>(lo), [&](int j) {
                     const double x = k - j;
                     return x * (c + x - 1.0) / ((K - x + 1.0) * (n1 - x + 1.0));
                   }));
}

}  // namespace specfns
