#pragma once
// Natural logarithms of binomial and hypergeometric tail probabilities.
//
// The plain tails underflow for strong patterns (values like 1e-388 occur),
// and a tail close to 1 loses its information to rounding; these keep full
// relative accuracy of the logarithm in both regimes.  Each sums the tail that
// does not contain the mode, outward from its start, and takes the complement
// through log1p when the other tail was asked for.  Nothing here reports
// through mtherr(): invalid arguments give NaN.

namespace specfns {

// ln P[X > k] for X binomial with n trials and success probability p.
// k < 0 gives 0; k >= n or p == 0 gives -infinity; p == 1 (with k < n)
// gives 0.  n < 0, or p outside [0, 1] or NaN, gives NaN.
double log_bdtrc(int k, int n, double p);

// ln P[X <= k], the lower tail: k < 0 or p == 1 gives -infinity; k >= n or
// p == 0 gives 0; invalid arguments as for log_bdtrc.
double log_bdtr(int k, int n, double p);

// ln of the one-sided Fisher exact test p-value for enrichment in class 1:
// the table [[a, n1 - a], [b, n2 - b]] with fixed margins, P[X >= a] where X
// is hypergeometric (n1 draws from n1 + n2 items of which a + b are
// successes).  Negative counts, a > n1 or b > n2 give NaN.
double log_fisher_greater(int a, int n1, int b, int n2);

}  // namespace specfns
