#pragma once
// Shared by the sources of the statistical library: the error codes that
// mtherr() understands and the polynomial evaluators of the rational
// approximations.

namespace specfns {

// Error codes, also the index into mtherr's message table.
constexpr int DOMAIN = 1;     // argument outside the function's domain
constexpr int SING = 2;       // argument at a singularity
constexpr int OVERFLOW = 3;   // result too large
constexpr int UNDERFLOW = 4;  // result too small
constexpr int TLOSS = 5;      // total loss of precision
constexpr int PLOSS = 6;      // partial loss of precision

// k[0]*x^N + k[1]*x^(N-1) + ... + k[N]: N + 1 coefficients, highest first.
inline double poly_eval(double x, const double* k, int N) {
  double ans = k[0];
  for (int i = 1; i <= N; ++i) ans = ans * x + k[i];
  return ans;
}

// x^N + k[0]*x^(N-1) + ... + k[N-1]: the leading 1 is not stored.
inline double poly1_eval(double x, const double* k, int N) {
  double ans = x + k[0];
  for (int i = 1; i < N; ++i) ans = ans * x + k[i];
  return ans;
}

}  // namespace specfns
