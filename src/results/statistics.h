#pragma once
#include "results/result_options.h"

// The statistics of a pattern, in one place for the acceptance tests, the
// report line and the ranked rows. Classes 1 and 2 are compared: s1 of the
// t1 sequences of class 1 hold the pattern, s2 of the t2 of class 2.

// (s1/t1) / (s2/t2); 1e6 stands for "no class-2 sequence" (s2 = 0).
double class_ratio(int s1, int t1, int s2, int t2);

// The binomial tail of s1 with the class-2 rate s2/t2 taken as known:
// P(X >= s1) for X ~ Binomial(t1, s2/t2), or P(X <= s1) for a negative
// `sign` (a negative -binomial_prob). Throws the library's MathException
// where the library cannot compute it.
double binomial_tail(int s1, int t1, int s2, int t2, int sign);
// Its natural logarithm, never underflowing (-inf where the tail is 0).
double log_binomial_tail(int s1, int t1, int s2, int t2, int sign);

// log10 of the smallest p-value the one-sided Fisher test can give a
// pattern held by x of the t1 + t2 sequences (all of them in class 1 that
// can be): the same computation as log10_fisher_greater, so that a pattern
// at that extreme has exactly this p-value.
double log10_min_fisher(int x, int t1, int t2);

// log10 of the one-sided Fisher exact test that class 1 holds the pattern
// more often: P(X >= s1), X hypergeometric (t1 draws from t1 + t2
// sequences of which s1 + s2 hold it).
double log10_fisher_greater(int s1, int t1, int s2, int t2);

// The Fisher test of the chosen alternative, in log10: greater is
// log10_fisher_greater; less asks whether class 1 holds the pattern less
// often (the greater test with the classes swapped); two-sided is twice the
// smaller one-sided p-value, capped at 1.
double log10_fisher(Alternative alternative, int s1, int t1, int s2, int t2);
// log10 of the smallest p-value that test can give a pattern held by x of
// the t1 + t2 sequences: the p-value of the more extreme of the two tables
// at the ends of x's range, by the same computation, so that a pattern at
// that extreme has exactly this value.
double log10_min_fisher(Alternative alternative, int x, int t1, int t2);

#include <array>
#include <string>

class CHARSET;
class input_string;

// How likely a pattern is by chance: the probability that it matches at
// one position of a random sequence whose letters are drawn independently
// with the letter frequencies of class 2 (with one class, of all
// sequences). STOP characters are left out; each letter gets one
// pseudocount, so that a letter class 2 lacks is rare rather than
// impossible. A character contributes its frequency, a group the sum of its
// members', a wildcard and a flexible gap 1.
class BackgroundModel {
 public:
  BackgroundModel(const input_string& input, const CHARSET& charset);
  // log10 of the probability of the pattern `codes`.
  double log10_probability(const std::string& codes) const;

 private:
  std::array<double, 256> log10_of_code_{};  // per code, the gap flag included
};
