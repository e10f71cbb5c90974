#pragma once
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "results/result_options.h"
#include "search/support_floor.h"

// Family-wise error and false discovery rate control over the patterns a
// search tests, in log10 throughout. Classes 1 and 2 are compared: a
// pattern's support x is the number of their t1 + t2 sequences holding it.
// Whether a pattern is a test at all depends on its support only, never on
// which class holds it, so each correction is valid over the family the
// search enumerates, whatever floor it used.

// The log10 of the smallest p-value each support can reach (psi), and the
// supports up to which psi never rises, which a floor may pass.
class Attainable {
 public:
  Attainable(int t1, int t2, Alternative alternative);
  double log10_psi(int x) const { return psi_[static_cast<std::size_t>(x)]; }
  int most_support() const { return t1_ + t2_; }
  // The largest s with psi non-increasing over 1..s: a floor raised to s + 1
  // leaves out only supports whose psi is at least psi(s).
  int falling_until() const { return falling_until_; }
  int t1() const { return t1_; }
  int t2() const { return t2_; }
  Alternative alternative() const { return alternative_; }

 private:
  int t1_, t2_;
  Alternative alternative_;
  std::vector<double> psi_;
  int falling_until_ = 0;
};

// Tarone's testability: a pattern whose psi exceeds a threshold delta can
// never have a p-value at or below delta, so only the m(delta) patterns
// with psi <= delta count as tests. The threshold is the largest delta with
// m(delta) delta <= alpha; tarone_p = p m(p) is at most alpha exactly for
// the p-values below it. With a rising floor (LAMP) the floor goes up while
// the patterns counted so far already make psi(floor) too large a
// threshold; the patterns below the floor, never all counted, cannot reach
// the threshold, which is kept below psi(floor - 1).
class Testability {
 public:
  Testability(const Attainable& attainable, double alpha, int first_floor, bool rising);
  void count(int x);
  int floor() const { return floor_; }

  // After the search.
  void finish();
  long testable_at(double log10_p) const;  // m(p): counted patterns with psi <= p
  double log10_adjusted(double log10_p) const;  // min(1, p m(p)); a lower bound above alpha
  bool significant(double log10_p) const;
  long testable() const { return testable_; }
  long counted() const { return counted_; }
  // "alpha A, k K, delta D, testable support A..B, testable patterns M of T
  // <what>"; the floor is added where it rose.
  std::string line(const char* what) const;

 private:
  const Attainable& at_;
  double alpha_, log10_alpha_;
  std::vector<long> count_;  // counted patterns per support
  long counted_ = 0;
  int first_floor_, floor_;
  bool rising_;
  long at_floor_ = 0;  // counted patterns with psi <= psi(floor)
  void recount_at_floor();
  // By psi: (log10 psi, counted patterns with that psi or less).
  std::vector<std::pair<double, long>> cumulative_;
  double log10_cap_ = 0;      // thresholds stay below psi(floor - 1) where the floor rose
  bool capped_ = false;
  double log10_delta_ = 0;    // the threshold (the largest; attained or approached)
  long testable_ = 0;         // m at the threshold
};

// A 128-bit hash of a set of sequences, and the sets seen so far. Two
// different sets share a hash with probability 2^-128 if it behaves as a
// random function, so over n sets the chance of any collision is below
// n^2 / 2^129 (1.5e-21 for a billion sets).
struct SetHash {
  std::uint64_t low, high;
  bool operator==(const SetHash& o) const { return low == o.low && high == o.high; }
};
SetHash hash_set(const std::uint64_t* words, std::size_t n);

class SeenSets {
 public:
  // Whether `h` is new; remembers it.
  bool insert(const SetHash& h);
  std::size_t size() const { return size_; }

 private:
  std::vector<SetHash> slots_;  // open addressing; {0, 0} marks a free slot
  std::size_t size_ = 0;
  bool zero_seen_ = false;
  void grow();
};

// The generator of the permutations: the same labels for a seed on every
// machine and library (the standard library's distributions are not).
class SplitMix64 {
 public:
  explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next();
  // Uniform in 0..bound-1 (bound >= 1), without modulo bias.
  std::uint64_t below(std::uint64_t bound);

 private:
  std::uint64_t state_;
};

// Westfall-Young permutation FWER, in the search's one pass: J relabelings
// of the t1 + t2 sequences with the classes' sizes kept; for each, the
// smallest p-value over the tested patterns. The threshold delta is the
// largest value below which at most alpha (J + 1) - 1 of the J minima lie,
// so that wy_p = (1 + #{j: min_j <= p}) / (J + 1) is at most alpha exactly
// below it. A pattern whose psi is at least delta can lower no minimum
// below delta and be significant under no labels, so it is not tested, and
// the floor rises past the supports whose psi is.
class WestfallYoung {
 public:
  WestfallYoung(const Attainable& attainable, double alpha, long permutations, std::uint64_t seed,
                int first_floor);
  // Whether a set of support x could still lower a minimum below delta.
  bool matters(int x) const { return x >= 0 && x <= at_.most_support() && at_.log10_psi(x) < log10_delta_; }
  // One set of sequences (bit i: sequence i of classes 1 and 2) held by x of them.
  void test(const std::uint64_t* words, int x);
  int floor() const { return floor_; }

  void finish();
  // log10 of wy_p below the threshold; +infinity above it (only known to
  // exceed alpha).
  double log10_wy(double log10_p) const;
  bool significant(double log10_p) const;
  std::string line() const;

 private:
  const Attainable& at_;
  double alpha_;
  long permutations_;
  std::uint64_t seed_;
  std::size_t lanes_;  // words of J bits, one bit per permutation
  // Per sequence, J bits: 1 under the permutations that label it class 1.
  std::vector<std::uint64_t> class1_;
  std::vector<std::uint64_t> planes_;  // per lane, the counters of the set being tested
  std::vector<double> minima_;         // log10 per permutation
  long allowed_;                       // the most minima that may lie below delta
  double log10_delta_ = 0;
  int floor_ = 1;
  long tested_ = 0;
  std::vector<double> scratch_;
  // log10 p-values per support and class-1 count, computed when first met.
  std::vector<std::vector<double>> p_of_;
  long at_or_below(double log10_p) const;  // minima at or below p, once finished
  void update_delta();
  template <typename PValue>
  void count_all(const std::uint64_t* set, int x, int low, int high, int least, int most, PValue& p_of);
};

// The corrections a run asked for, fed with every tested pattern, and the
// support floor they raise.
class Significance : public SupportFloor {
 public:
  // `count_queued`: Tarone's count takes each pattern when the search queues
  // it rather than when it tests it (two classes, where a node's sequences
  // are its support, and patterns not merged by their sets).
  Significance(const SignificanceOptions& options, int t1, int t2, int first_floor, bool count_queued);
  ~Significance() override;
  void queued(int x) override;

  // Whether the next tested pattern's sequences are needed.
  bool wants_set(int x) const { return options_.fwer_distinct || (wy_ != nullptr && wy_->matters(x)); }
  std::size_t set_words() const { return words_; }
  // A tested pattern held by x sequences of classes 1 and 2; `set` its
  // sequences as bits (only where wants_set said so, else null).
  void tested(int x, const std::uint64_t* set);

  void finish();
  const Testability& tarone() const { return tarone_; }
  const Attainable& attainable() const { return attainable_; }
  const WestfallYoung* westfall_young() const { return wy_.get(); }
  const Testability* fdr() const { return fdr_.get(); }
  bool significant(double log10_p) const;
  // The header lines (without "# ").
  std::vector<std::string> lines() const;

 private:
  SignificanceOptions options_;
  Attainable attainable_;
  Testability tarone_;
  std::unique_ptr<Testability> fdr_;
  std::unique_ptr<WestfallYoung> wy_;
  SeenSets seen_;
  std::size_t words_;
  void raise_floor();
};
