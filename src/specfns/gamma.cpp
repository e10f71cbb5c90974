// The gamma function and the logarithm of its magnitude.
//
// Both reduce the argument by the recurrence Gamma(x+1) = x Gamma(x) into
// [2, 3), where a rational approximation holds; large arguments use
// Stirling's series, and negative ones of large magnitude the reflection
// formula Gamma(-q) Gamma(q) = -pi / (q sin(pi q)).
#include <cmath>

#include "specfns/mconf.h"
#include "specfns/specfns_protos.h"

namespace specfns {

int sgngam = 0;

namespace {
#include "specfns/gamma_coefficients.inc"

constexpr double SQTPI = 2.5066282746310007;   // sqrt(2 pi)
constexpr double LOGPI = 1.1447298858494002;   // ln(pi)
constexpr double LS2PI = 0.9189385332046728;   // ln(sqrt(2 pi))
constexpr double MAXSTIR = 143.01608;          // x^x overflows above this
constexpr double MAXGAM = 171.6243769563027;   // Gamma overflows above this
constexpr double MAXLGM = 2.556348e305;        // ln Gamma overflows above this
constexpr double EULER = 0.5772156649015329;

// Parity of an integral double; the value may exceed every integer type, so
// it is not converted.
bool is_even(double integral) { return std::fmod(integral, 2.0) == 0.0; }

// Gamma(x) by Stirling's formula, for 33 < x <= MAXGAM.
double stirf(double x) {
  double w = 1.0 / x;
  w = 1.0 + w * poly_eval(w, STIR, 4);
  double y = std::exp(x);
  if (x > MAXSTIR) {
    // x^(x - 0.5) alone would overflow: take it in two halves.
    const double v = std::pow(x, 0.5 * x - 0.25);
    y = v * (v / y);
  } else {
    y = std::pow(x, x - 0.5) / y;
  }
  return SQTPI * y * w;
}

// The reduction reached x within 1e-9 of zero, having accumulated z:
// Gamma(x) ~ 1 / (x (1 + Euler x)) there.
double near_zero(double x, double z) {
  if (x == 0.0) mtherr("gamma", SING);
  return z / ((1.0 + EULER * x) * x);
}
}  // namespace

double gammafn(double x) {
  sgngam = 1;
  const double q = std::fabs(x);
  if (q > 33.0) {
    double z;
    if (x < 0.0) {
      double p = std::floor(q);
      if (p == q) mtherr("gamma", OVERFLOW);
      if (is_even(p)) sgngam = -1;
      z = q - p;
      if (z > 0.5) {
        p += 1.0;
        z = q - p;
      }
      z = q * std::sin(PI * z);
      if (z == 0.0) mtherr("gamma", OVERFLOW);
      // Past MAXGAM, Gamma(q) is no finite double and the reflected value
      // underflows; stirf would give inf there, or NaN once e^q overflows too.
      z = (q > MAXGAM) ? 0.0 : PI / (std::fabs(z) * stirf(q));
    } else {
      // Beyond this the result is not a finite double; report it rather
      // than hand an infinity to the caller.
      if (x > MAXGAM) mtherr("gamma", OVERFLOW);
      z = stirf(x);
    }
    return sgngam * z;
  }

  double z = 1.0;
  while (x >= 3.0) {
    x -= 1.0;
    z *= x;
  }
  while (x < 0.0) {
    if (x > -1e-9) return near_zero(x, z);
    z /= x;
    x += 1.0;
  }
  while (x < 2.0) {
    if (x < 1e-9) return near_zero(x, z);
    z /= x;
    x += 1.0;
  }
  if (x == 2.0) return z;
  x -= 2.0;
  return z * poly_eval(x, P, 6) / poly_eval(x, Q, 7);
}

double lgam(double x) {
  sgngam = 1;

  if (x < -34.0) {
    const double q = -x;
    const double w = lgam(q);  // its sign is overwritten below
    double p = std::floor(q);
    if (p == q) mtherr("lgam", OVERFLOW);
    sgngam = is_even(p) ? -1 : 1;
    double z = q - p;
    if (z > 0.5) {
      p += 1.0;
      z = p - q;
    }
    z = q * std::sin(PI * z);
    if (z == 0.0) mtherr("lgam", OVERFLOW);
    return LOGPI - std::log(z) - w;
  }

  if (x < 13.0) {
    double z = 1.0;
    double p = 0.0;
    double u = x;
    while (u >= 3.0) {
      p -= 1.0;
      u = x + p;
      z *= u;
    }
    while (u < 2.0) {
      if (u == 0.0) mtherr("lgam", OVERFLOW);
      z /= u;
      p += 1.0;
      u = x + p;
    }
    if (z < 0.0) {
      sgngam = -1;
      z = -z;
    } else {
      sgngam = 1;
    }
    if (u == 2.0) return std::log(z);
    p -= 2.0;
    x = x + p;
    return std::log(z) + x * poly_eval(x, B, 5) / poly1_eval(x, C, 6);
  }

  if (x > MAXLGM) mtherr("lgam", OVERFLOW);

  double q = (x - 0.5) * std::log(x) - x + LS2PI;
  if (x > 1.0e8) return q;

  const double p = 1.0 / (x * x);
  if (x >= 1000.0) {
    // The first three terms of the series are exact enough out here.
    q += ((0.0007936507936507937 * p - 0.002777777777777778) * p + 0.08333333333333333) / x;
  } else {
    q += poly_eval(p, A, 4) / x;
  }
  return q;
}

}  // namespace specfns
