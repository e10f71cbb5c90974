// The regularized incomplete beta integral I_x(a, b).
//
// Small b*x goes to a power series; otherwise the tail that converges fastest
// is chosen (reflecting x -> 1 - x when x lies beyond the mean a/(a+b)) and
// evaluated with one of two continued fractions.  The prefactor
// x^a (1-x)^b Gamma(a+b) / (a Gamma(a) Gamma(b)) is formed directly while it
// stays in range and in logarithms otherwise.
#include <cmath>

#include "specfns/mconf.h"
#include "specfns/specfns_protos.h"

namespace specfns {

namespace {
// Exact powers of two, so that rescaling the convergents loses nothing.
constexpr double big = 4503599627370496.0;       // 2^52
constexpr double biginv = 2.220446049250313e-16;  // 2^-52
constexpr double MAXGAM = 171.6243769563027;      // Gamma overflows above this
constexpr int MAX_ITERATIONS = 300;

// One pass of the continued-fraction scheme shared by both expansions: the
// coefficient starts and their advance differ, the rest is common.
struct FractionTerms {
  double k1, k2, k3, k4, k5, k6, k7, k8;
  double d2;  // advance of k2 (+1 for incbcf, -1 for incbd)
  double d6;  // advance of k6 (-1 for incbcf, +1 for incbd)
};

double continued_fraction(FractionTerms c, double x) {
  double pkm2 = 0.0, qkm2 = 1.0;
  double pkm1 = 1.0, qkm1 = 1.0;
  double ans = 1.0;
  double r = 1.0;
  const double thresh = 3.0 * MACHEP;

  for (int n = 0; n < MAX_ITERATIONS; ++n) {
    double xk = -(x * c.k1 * c.k2) / (c.k3 * c.k4);
    double pk = pkm1 + pkm2 * xk;
    double qk = qkm1 + qkm2 * xk;
    pkm2 = pkm1;
    pkm1 = pk;
    qkm2 = qkm1;
    qkm1 = qk;

    xk = (x * c.k5 * c.k6) / (c.k7 * c.k8);
    pk = pkm1 + pkm2 * xk;
    qk = qkm1 + qkm2 * xk;
    pkm2 = pkm1;
    pkm1 = pk;
    qkm2 = qkm1;
    qkm1 = qk;

    if (qk != 0.0) r = pk / qk;
    double t;
    if (r != 0.0) {
      t = std::fabs((ans - r) / r);
      ans = r;
    } else {
      t = 1.0;
    }
    if (t < thresh) return ans;

    c.k1 += 1.0;
    c.k2 += c.d2;
    c.k3 += 2.0;
    c.k4 += 2.0;
    c.k5 += 1.0;
    c.k6 += c.d6;
    c.k7 += 2.0;
    c.k8 += 2.0;

    if (std::fabs(qk) + std::fabs(pk) > big) {
      pkm2 *= biginv;
      pkm1 *= biginv;
      qkm2 *= biginv;
      qkm1 *= biginv;
    }
    if (std::fabs(qk) < biginv || std::fabs(pk) < biginv) {
      pkm2 *= big;
      pkm1 *= big;
      qkm2 *= big;
      qkm1 *= big;
    }
  }
  // Not converged: the last convergent is the best there is.
  return ans;
}

// Continued fraction expansion 1, for x (a + b - 2) - (a - 1) < 0.
double incbcf(double a, double b, double x) {
  return continued_fraction({a, a + b, a, a + 1.0, 1.0, b - 1.0, a + 1.0, a + 2.0, 1.0, -1.0}, x);
}

// Continued fraction expansion 2, in z = x / (1 - x).
double incbd(double a, double b, double x) {
  const double z = x / (1.0 - x);
  return continued_fraction({a, b - 1.0, a, a + 1.0, 1.0, a + b, a + 1.0, a + 2.0, -1.0, 1.0}, z);
}

// Power series, for b*x <= 1 and x <= 0.95.
double pseries(double a, double b, double x) {
  const double ai = 1.0 / a;
  double u = (1.0 - b) * x;
  double v = u / (a + 1.0);
  const double t1 = v;
  double t = u;
  double n = 2.0;
  double s = 0.0;
  const double z = MACHEP * ai;
  while (std::fabs(v) > z) {
    u = (n - b) * x / n;
    t *= u;
    v = t / (a + n);
    s += v;
    n += 1.0;
  }
  s += t1;
  s += ai;

  u = a * std::log(x);
  if ((a + b) < MAXGAM && std::fabs(u) < MAXLOG) {
    t = gammafn(a + b) / (gammafn(a) * gammafn(b));
    return s * t * std::pow(x, a);
  }
  t = lgam(a + b) - lgam(a) - lgam(b) + u + std::log(s);
  if (t < MINLOG) return 0.0;
  return std::exp(t);
}
}  // namespace

double incbet(double aa, double bb, double xx) {
  if (aa <= 0.0 || bb <= 0.0) mtherr("incbet", DOMAIN);

  if (xx <= 0.0 || xx >= 1.0) {
    if (xx == 0.0) return 0.0;
    if (xx == 1.0) return 1.0;
    mtherr("incbet", DOMAIN);
  }

  if (bb * xx <= 1.0 && xx <= 0.95) return pseries(aa, bb, xx);

  double a, b, x, xc;
  bool flag = false;
  double w = 1.0 - xx;
  // Work on the tail below the mean, where the expansions converge fast.
  if (xx > aa / (aa + bb)) {
    flag = true;
    a = bb;
    b = aa;
    xc = xx;
    x = w;
  } else {
    a = aa;
    b = bb;
    xc = w;
    x = xx;
  }

  double t;
  if (flag && b * x <= 1.0 && x <= 0.95) {
    t = pseries(a, b, x);
  } else {
    double y = x * (a + b - 2.0) - (a - 1.0);
    if (y < 0.0) {
      w = incbcf(a, b, x);
    } else {
      w = incbd(a, b, x) / xc;
    }

    y = a * std::log(x);
    t = b * std::log(xc);
    if ((a + b) < MAXGAM && std::fabs(y) < MAXLOG && std::fabs(t) < MAXLOG) {
      t = std::pow(xc, b);
      t *= std::pow(x, a);
      t /= a;
      t *= w;
      t *= gammafn(a + b) / (gammafn(a) * gammafn(b));
    } else {
      // The direct product would overflow or underflow: use logarithms.
      y += t + lgam(a + b) - lgam(a) - lgam(b);
      y += std::log(w / a);
      t = (y < MINLOG) ? 0.0 : std::exp(y);
    }
  }

  if (flag) return (t <= MACHEP) ? 1.0 - MACHEP : 1.0 - t;
  return t;
}

}  // namespace specfns
