// ln(1 + x) and e^x - 1 without the cancellation of the naive forms near zero.
#include <cmath>

#include "specfns/mconf.h"
#include "specfns/specfns_protos.h"

namespace specfns {

namespace {
#include "specfns/unity_coefficients.inc"

constexpr double SQRTH = 0.7071067811865476;  // sqrt(2)/2
constexpr double SQRT2 = 1.4142135623730951;
}  // namespace

// ln(1+x) = x - x^2/2 + x^3 P(x)/Q(x) for 1+x in [sqrt(2)/2, sqrt(2)].
double log1p(double x) {
  const double z = 1.0 + x;
  if (z < SQRTH || z > SQRT2) return std::log(z);
  const double z2 = x * x;
  const double r = z2 * poly_eval(x, LP, 6) / poly1_eval(x, LQ, 6);
  return x + (-0.5 * z2 + x * r);
}

// e^x = 1 + 2x P(x^2) / (Q(x^2) - x P(x^2)) for |x| <= 0.5.
double expm1(double x) {
  if (x < -0.5 || x > 0.5) return std::exp(x) - 1.0;
  const double xx = x * x;
  double r = x * poly_eval(xx, EP, 2);
  r = r / (poly_eval(xx, EQ, 3) - r);
  return r + r;
}

}  // namespace specfns
