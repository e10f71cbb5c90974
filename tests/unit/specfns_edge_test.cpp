// Edge cases of the statistical library: error reports, the sign left in
// sgngam, identities between tails, and the switches between forms.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "specfns/specfns_protos.h"

namespace {

using specfns::MathException;

// Runs f, expects MathException from `fn` with `type`, and merror == code.
template <class F>
void expect_math_error(F f, const char* fn, const char* type, int code) {
  specfns::merror = 0;
  try {
    f();
    ADD_FAILURE() << "no MathException, expected " << fn << "/" << type;
  } catch (const MathException& e) {
    EXPECT_STREQ(e.function(), fn);
    EXPECT_STREQ(e.type(), type);
    EXPECT_EQ(specfns::merror, code);
  }
}

TEST(SpecfnsErrors, DomainErrorsOfTheBetaFunctions) {
  expect_math_error([] { specfns::incbet(0.0, 1.0, 0.5); }, "incbet", "domain", 1);
  expect_math_error([] { specfns::incbet(1.0, -2.0, 0.5); }, "incbet", "domain", 1);
  expect_math_error([] { specfns::incbet(1.0, 1.0, 1.5); }, "incbet", "domain", 1);
  expect_math_error([] { specfns::incbet(1.0, 1.0, -0.25); }, "incbet", "domain", 1);
  expect_math_error([] { specfns::bdtr(2, 1, 0.5); }, "bdtr", "domain", 1);
  expect_math_error([] { specfns::bdtr(1, 5, 1.5); }, "bdtr", "domain", 1);
  expect_math_error([] { specfns::bdtr(-1, 5, 0.5); }, "bdtr", "domain", 1);
  expect_math_error([] { specfns::bdtrc(5, 4, 0.5); }, "bdtrc", "domain", 1);
  expect_math_error([] { specfns::bdtrc(1, 5, -0.1); }, "bdtrc", "domain", 1);
  // The probability is checked before k < 0 short-cuts to 1.
  expect_math_error([] { specfns::bdtrc(-1, 5, 2.0); }, "bdtrc", "domain", 1);
}

TEST(SpecfnsErrors, GammaPolesAndOverflow) {
  expect_math_error([] { specfns::gammafn(0.0); }, "gamma", "singularity", 2);
  expect_math_error([] { specfns::gammafn(-2.0); }, "gamma", "singularity", 2);
  expect_math_error([] { specfns::gammafn(-40.0); }, "gamma", "overflow", 3);
  expect_math_error([] { specfns::gammafn(-1e300); }, "gamma", "overflow", 3);
  // Gamma of these is no finite double: an error, not an infinity.
  expect_math_error([] { specfns::gammafn(171.7); }, "gamma", "overflow", 3);
  expect_math_error([] { specfns::gammafn(HUGE_VAL); }, "gamma", "overflow", 3);
  expect_math_error([] { specfns::lgam(-3.0); }, "lgam", "overflow", 3);
  expect_math_error([] { specfns::lgam(0.0); }, "lgam", "overflow", 3);
  expect_math_error([] { specfns::lgam(-50.0); }, "lgam", "overflow", 3);
  expect_math_error([] { specfns::lgam(3e305); }, "lgam", "overflow", 3);
  EXPECT_TRUE(std::isfinite(specfns::gammafn(171.6)));
}

TEST(SpecfnsErrors, ExceptionCopiesKeepTheirStrings) {
  MathException a("f", "domain");
  MathException b("g", "overflow");
  b = a;
  const MathException c(b);
  EXPECT_STREQ(c.function(), "f");
  EXPECT_STREQ(c.type(), "domain");
}

TEST(SpecfnsErrors, NotANumberPassesThroughWithoutError) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(std::isnan(specfns::incbet(2.0, 3.0, nan)));
  EXPECT_TRUE(std::isnan(specfns::bdtr(1, 5, nan)));
  EXPECT_TRUE(std::isnan(specfns::bdtrc(1, 5, nan)));
  EXPECT_EQ(specfns::bdtrc(-1, 5, nan), 1.0);
  EXPECT_TRUE(std::isnan(specfns::gammafn(nan)));
  EXPECT_TRUE(std::isnan(specfns::lgam(nan)));
}

TEST(SpecfnsGamma, ValuesAndSign) {
  const double sqrtpi = 1.7724538509055160273;
  EXPECT_DOUBLE_EQ(specfns::gammafn(5.0), 24.0);
  EXPECT_DOUBLE_EQ(specfns::gammafn(0.5), sqrtpi);

  EXPECT_DOUBLE_EQ(specfns::gammafn(-0.5), -2.0 * sqrtpi);
  EXPECT_EQ(specfns::sgngam, 1);  // below 33 the sign is in the value only
  EXPECT_LT(specfns::gammafn(-34.5), 0.0);
  EXPECT_EQ(specfns::sgngam, -1);
  EXPECT_GT(specfns::gammafn(-33.5), 0.0);
  EXPECT_EQ(specfns::sgngam, 1);

  EXPECT_NEAR(specfns::lgam(100.0), 359.13420536957539878, 1e-12);  // ln(99!)
  EXPECT_EQ(specfns::sgngam, 1);
  specfns::lgam(-2.5);
  EXPECT_EQ(specfns::sgngam, -1);
  specfns::lgam(-1.5);
  EXPECT_EQ(specfns::sgngam, 1);
  specfns::lgam(-34.5);  // the reflection overwrites the recursive call's sign
  EXPECT_EQ(specfns::sgngam, -1);
  specfns::lgam(-35.5);
  EXPECT_EQ(specfns::sgngam, 1);
}

TEST(SpecfnsGamma, HugeNegativeArgumentsKeepTheirParity) {
  // The integer part exceeds every int: its parity must still be right.
  EXPECT_EQ(specfns::gammafn(-3000000000.5), 0.0);
  EXPECT_EQ(specfns::sgngam, -1);
  EXPECT_LT(specfns::lgam(-3000000000.5), -6e10);
  EXPECT_EQ(specfns::sgngam, -1);
  specfns::lgam(-3000000001.5);
  EXPECT_EQ(specfns::sgngam, 1);
}

TEST(SpecfnsBinomial, EndValues) {
  for (int n : {1, 4, 170, 3000}) {
    for (double p : {0.0, 0.003, 0.5, 1.0}) {
      EXPECT_EQ(specfns::bdtrc(-1, n, p), 1.0);
      EXPECT_EQ(specfns::bdtrc(n, n, p), 0.0);
      EXPECT_EQ(specfns::bdtr(n, n, p), 1.0);
    }
    for (int k : {0, n / 2, n - 1}) {
      EXPECT_EQ(specfns::bdtrc(k, n, 0.0), 0.0);
      EXPECT_EQ(specfns::bdtrc(k, n, 1.0), 1.0);
      EXPECT_EQ(specfns::bdtr(k, n, 1.0), 0.0);
    }
  }
  EXPECT_EQ(specfns::incbet(2.5, 3.0, 0.0), 0.0);
  EXPECT_EQ(specfns::incbet(2.5, 3.0, 1.0), 1.0);
}

TEST(SpecfnsBinomial, TailsAddUpToOne) {
  for (int n : {1, 2, 9, 60, 169, 172, 800, 5000}) {
    for (double p : {1e-9, 0.0099, 0.01, 0.2, 0.5, 0.77, 0.999}) {
      for (int k : {0, 1, n / 3, n / 2, n - 2, n - 1}) {
        if (k < 0 || k >= n) continue;
        const double sum = specfns::bdtr(k, n, p) + specfns::bdtrc(k, n, p);
        EXPECT_NEAR(sum, 1.0, 1e-12) << "k=" << k << " n=" << n << " p=" << p;
      }
    }
  }
}

TEST(SpecfnsBinomial, IncompleteBetaReflection) {
  const double shapes[] = {0.3, 1.0, 2.5, 17.0, 90.0, 171.0, 1200.0};
  for (double a : shapes) {
    for (double b : shapes) {
      for (double x : {0.001, 0.05, 0.3, 0.5, 0.625, 0.95, 0.999}) {
        const double sum = specfns::incbet(a, b, x) + specfns::incbet(b, a, 1.0 - x);
        EXPECT_NEAR(sum, 1.0, 1e-12) << "a=" << a << " b=" << b << " x=" << x;
      }
    }
  }
}

TEST(SpecfnsBinomial, UpperTailFormsMeetAtOnePercent) {
  // Below p = 0.01 bdtrc(0, n, p) uses expm1/log1p, from 0.01 the power form;
  // the two must agree across the switch.
  const double below = std::nextafter(0.01, 0.0);
  for (int n : {1, 2, 50, 1000, 5000}) {
    const double lo = specfns::bdtrc(0, n, below);
    const double at = specfns::bdtrc(0, n, 0.01);
    EXPECT_NEAR(lo / at, 1.0, 1e-14) << "n=" << n;
    EXPECT_LE(lo, at);
  }
  // Far below the switch the naive 1 - (1-p)^n would keep no digit at all.
  EXPECT_NEAR(specfns::bdtrc(0, 1000, 1e-18) / 1e-15, 1.0, 1e-14);
}

TEST(SpecfnsUnity, KeepPrecisionNearZero) {
  EXPECT_NEAR(specfns::log1p(1e-10) / 9.9999999995000000000333e-11, 1.0, 4e-16);
  EXPECT_NEAR(specfns::expm1(1e-10) / 1.00000000005000000000167e-10, 1.0, 4e-16);
  EXPECT_NEAR(specfns::expm1(-1e-10) / -9.9999999995000000000167e-11, 1.0, 4e-16);
  // Both sides of each switch between the rational form and plain exp/log.
  const double edges[] = {-0.5, 0.5};
  for (double e : edges) {
    const double in = specfns::expm1(e);
    const double out = specfns::expm1(std::nextafter(e, 2.0 * e));
    EXPECT_NEAR(out / in, 1.0, 1e-15);
  }
}

}  // namespace
