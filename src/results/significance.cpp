#include "results/significance.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "results/row_fields.h"
#include "results/statistics.h"

namespace {

const double kInf = std::numeric_limits<double>::infinity();
// Smallest attainable p-values that are equal (a support and its mirror
// image give the same two-sided value) come out of different sums and may
// differ in the last bits; distinct ones differ by far more than this, in
// log10 (a relative 2e-9).
constexpr double kSame = 1e-9;
// A set whose counts that matter are within this many of either end is
// counted in one bit plane per possible count; others in binary counters.
constexpr int kFewPlanes = 8;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string shown_alpha(double alpha) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", alpha);
  return text;
}

std::uint64_t mix(std::uint64_t x) {
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

}  // namespace

Attainable::Attainable(int t1, int t2, Alternative alternative)
    : t1_(t1), t2_(t2), alternative_(alternative) {
  psi_.resize(static_cast<std::size_t>(t1 + t2) + 1);
  for (int x = 0; x <= t1 + t2; ++x) psi_[static_cast<std::size_t>(x)] = log10_min_fisher(alternative, x, t1, t2);
  falling_until_ = std::min(1, t1 + t2);
  while (falling_until_ < t1 + t2 && log10_psi(falling_until_ + 1) <= log10_psi(falling_until_)) ++falling_until_;
}

Testability::Testability(const Attainable& attainable, double alpha, int first_floor, bool rising)
    : at_(attainable),
      alpha_(alpha),
      log10_alpha_(std::log10(alpha)),
      count_(static_cast<std::size_t>(attainable.most_support()) + 1, 0),
      first_floor_(std::max(first_floor, 1)),
      floor_(first_floor_),
      rising_(rising) {
  recount_at_floor();
}

void Testability::recount_at_floor() {
  at_floor_ = 0;
  if (floor_ > at_.most_support()) return;
  const double limit = at_.log10_psi(floor_) + kSame;
  for (int x = 0; x <= at_.most_support(); ++x)
    if (at_.log10_psi(x) <= limit) at_floor_ += count_[static_cast<std::size_t>(x)];
}

void Testability::count(int x) {
  if (x < 0 || x > at_.most_support()) return;
  ++count_[static_cast<std::size_t>(x)];
  ++counted_;
  if (!rising_ || floor_ > at_.falling_until()) return;
  if (at_.log10_psi(x) <= at_.log10_psi(floor_) + kSame) ++at_floor_;
  // psi(floor) times the patterns testable there exceeds alpha: no
  // threshold that reaches psi(floor) is allowed, so no pattern held by
  // floor sequences or fewer (their psi is at least as large) can be
  // significant.
  while (floor_ <= at_.falling_until() && at_floor_ > 0 &&
         at_.log10_psi(floor_) + std::log10(static_cast<double>(at_floor_)) > log10_alpha_) {
    ++floor_;
    recount_at_floor();
  }
}

void Testability::finish() {
  capped_ = rising_ && floor_ > first_floor_;
  log10_cap_ = capped_ ? at_.log10_psi(floor_ - 1) : 0;
  cumulative_.clear();
  for (int x = 0; x <= at_.most_support(); ++x)
    if (count_[static_cast<std::size_t>(x)] > 0)
      cumulative_.emplace_back(at_.log10_psi(x), count_[static_cast<std::size_t>(x)]);
  std::sort(cumulative_.begin(), cumulative_.end());
  // Equal psi values are one step of m, which starts at the largest of them.
  std::vector<std::pair<double, long>> steps;
  long running = 0;
  for (const auto& e : cumulative_) {
    running += e.second;
    if (!steps.empty() && e.first - steps.back().first <= kSame)
      steps.back() = {e.first, running};
    else
      steps.emplace_back(e.first, running);
  }
  cumulative_ = steps;
  // m(delta) delta never falls as delta grows: the threshold lies in the
  // last step whose start is allowed, below the next step (or the cap).
  testable_ = 0;
  double upper = capped_ ? log10_cap_ : 0.0;
  log10_delta_ = upper;
  for (std::size_t i = 0; i < cumulative_.size(); ++i) {
    const double psi = cumulative_[i].first;
    if (capped_ && psi >= log10_cap_ - kSame) break;
    const double bound = log10_alpha_ - std::log10(static_cast<double>(cumulative_[i].second));
    if (psi > bound) {
      // With nothing testable any threshold below the first psi is
      // allowed: alpha is said where it is lower.
      if (testable_ == 0) log10_delta_ = psi;
      break;
    }
    testable_ = cumulative_[i].second;
    const double next = i + 1 < cumulative_.size() ? std::min(cumulative_[i + 1].first, upper) : upper;
    log10_delta_ = std::min(bound, next);
  }
  if (testable_ == 0) log10_delta_ = std::min(log10_delta_, log10_alpha_);
}

long Testability::testable_at(double log10_p) const {
  const auto it =
      std::upper_bound(cumulative_.begin(), cumulative_.end(), std::make_pair(log10_p + kSame, LONG_MAX));
  return it == cumulative_.begin() ? 0 : std::prev(it)->second;
}

double Testability::log10_adjusted(double log10_p) const {
  if (std::isnan(log10_p)) return kNaN;
  return std::min(0.0, log10_p + std::log10(static_cast<double>(std::max<long>(testable_at(log10_p), 1))));
}

bool Testability::significant(double log10_p) const {
  if (std::isnan(log10_p) || (capped_ && log10_p >= log10_cap_ - kSame)) return false;
  return log10_adjusted(log10_p) <= log10_alpha_;
}

std::string Testability::line(const char* what) const {
  int first = -1, last = -1;
  for (int x = 0; x <= at_.most_support(); ++x) {
    if (!significant(at_.log10_psi(x))) continue;
    if (first < 0) first = x;
    last = x;
  }
  std::string text = "alpha " + shown_alpha(alpha_) + ", k " + std::to_string(std::max<long>(testable_, 1)) +
                     ", delta " + format_log10(log10_delta_) + ", testable support ";
  text += first < 0 ? std::string("none") : std::to_string(first) + ".." + std::to_string(last);
  text += ", testable patterns " + std::to_string(testable_) + " of " + std::to_string(counted_) + " " + what;
  if (rising_) text += ", support floor " + std::to_string(floor_);
  return text;
}

SetHash hash_set(const std::uint64_t* words, std::size_t n) {
  // Two independent multiply-xorshift chains over the words and their places.
  std::uint64_t a = 0x243f6a8885a308d3ULL, b = 0x13198a2e03707344ULL;
  for (std::size_t i = 0; i < n; ++i) {
    a = mix(a ^ (words[i] + 0x9e3779b97f4a7c15ULL * (i + 1)));
    b = mix(b + (words[i] ^ (0xc2b2ae3d27d4eb4fULL * (i + 1))) * 0xff51afd7ed558ccdULL);
  }
  return SetHash{mix(a ^ n), mix(b + n)};
}

bool SeenSets::insert(const SetHash& h) {
  if (h.low == 0 && h.high == 0) {
    const bool fresh = !zero_seen_;
    zero_seen_ = true;
    size_ += fresh ? 1 : 0;
    return fresh;
  }
  if (2 * (size_ + 1) > slots_.size()) grow();
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = h.low & mask;; i = (i + 1) & mask) {
    SetHash& s = slots_[i];
    if (s == h) return false;
    if (s.low == 0 && s.high == 0) {
      s = h;
      ++size_;
      return true;
    }
  }
}

void SeenSets::grow() {
  std::vector<SetHash> old;
  old.swap(slots_);
  slots_.assign(std::max<std::size_t>(1024, old.size() * 2), SetHash{0, 0});
  const std::size_t mask = slots_.size() - 1;
  for (const SetHash& h : old) {
    if (h.low == 0 && h.high == 0) continue;
    std::size_t i = h.low & mask;
    while (slots_[i].low != 0 || slots_[i].high != 0) i = (i + 1) & mask;
    slots_[i] = h;
  }
}

std::uint64_t SplitMix64::next() {
  std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

std::uint64_t SplitMix64::below(std::uint64_t bound) {
  // Rejection from the largest multiple of bound.
  const std::uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
  for (;;) {
    const std::uint64_t r = next();
    if (r < limit) return r % bound;
  }
}

WestfallYoung::WestfallYoung(const Attainable& attainable, double alpha, long permutations, std::uint64_t seed,
                             int first_floor)
    : at_(attainable),
      alpha_(alpha),
      permutations_(permutations),
      seed_(seed),
      lanes_((static_cast<std::size_t>(permutations) + 63) / 64),
      minima_(static_cast<std::size_t>(permutations), 0.0),
      floor_(std::max(first_floor, 1)),
      p_of_(static_cast<std::size_t>(attainable.most_support()) + 1) {
  // wy_p <= alpha takes 1 + c <= alpha (J + 1), c the minima at or below p.
  allowed_ = static_cast<long>(std::floor(alpha * (static_cast<double>(permutations) + 1) * (1 + 1e-12))) - 1;
  const int n = at_.most_support();
  class1_.assign(lanes_ * static_cast<std::size_t>(n), 0);
  std::vector<int> labels(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) labels[static_cast<std::size_t>(i)] = i;
  SplitMix64 random(seed);
  for (long j = 0; j < permutations; ++j) {
    // The first t1 places of a Fisher-Yates shuffle are a uniform choice of
    // the sequences class 1 holds under these labels.
    for (int i = 0; i < at_.t1(); ++i) {
      const int k = i + static_cast<int>(random.below(static_cast<std::uint64_t>(n - i)));
      std::swap(labels[static_cast<std::size_t>(i)], labels[static_cast<std::size_t>(k)]);
      const std::size_t s = static_cast<std::size_t>(labels[static_cast<std::size_t>(i)]);
      class1_[s * lanes_ + static_cast<std::size_t>(j) / 64] |= std::uint64_t{1} << (j % 64);
    }
  }
  update_delta();
}

// The class-1 count of the set under every permutation at once, as binary
// counters across the permutations: plane b holds bit b of each count, and a
// sequence of the set adds its labels with a carry through the planes. For
// the sets with many counts that matter (early in the search, when any
// p-value below 1 does).
template <typename PValue>
void WestfallYoung::count_all(const std::uint64_t* set, int x, int low, int high, int least, int most,
                              PValue& p_of) {
  // A set of more than half the sequences is counted by the sequences it
  // lacks: class 1 holds t1 - c of its own where it holds c of those.
  const int n = at_.most_support();
  const bool flip = 2 * x > n;
  const int counted = flip ? n - x : x;
  int bits = 1;
  while ((1 << bits) <= counted) ++bits;
  planes_.assign(static_cast<std::size_t>(bits) * lanes_, 0);
  std::uint64_t* plane = planes_.data();
  const std::size_t set_words = (static_cast<std::size_t>(n) + 63) / 64;
  for (std::size_t w = 0; w < set_words; ++w) {
    std::uint64_t members = set[w];
    if (flip) {
      members = ~members;
      if (w + 1 == set_words && n % 64 != 0) members &= (std::uint64_t{1} << (n % 64)) - 1;
    }
    for (; members != 0; members &= members - 1) {
      const std::size_t s = w * 64 + static_cast<std::size_t>(__builtin_ctzll(members));
      const std::uint64_t* labels = &class1_[s * lanes_];
      for (std::size_t l = 0; l < lanes_; ++l) {
        std::uint64_t carry = labels[l];
        for (std::size_t b = 0; carry != 0; ++b) {
          std::uint64_t& word = plane[b * lanes_ + l];
          const std::uint64_t next = word & carry;
          word ^= carry;
          carry = next;
        }
      }
    }
  }
  // Per lane, the permutations whose count is at least c, compared bit by
  // bit from the top.
  auto at_least = [&](int c, std::size_t l) {
    if (c <= 0) return ~std::uint64_t{0};
    if (c >= (1 << bits)) return std::uint64_t{0};
    std::uint64_t greater = 0, equal = ~std::uint64_t{0};
    for (int b = bits - 1; b >= 0; --b) {
      const std::uint64_t v = plane[static_cast<std::size_t>(b) * lanes_ + l];
      if ((c >> b) & 1) {
        equal &= v;
      } else {
        greater |= equal & v;
        equal &= ~v;
      }
    }
    return greater | equal;
  };
  const int t1 = at_.t1();
  bool lowered = false;
  for (std::size_t l = 0; l < lanes_; ++l) {
    // The permutations whose class-1 count a is at least high or at most low.
    std::uint64_t chosen = 0;
    if (high <= most) chosen |= flip ? ~at_least(t1 - high + 1, l) : at_least(high, l);
    if (low >= least) chosen |= flip ? at_least(t1 - low, l) : ~at_least(low + 1, l);
    if (l + 1 == lanes_ && permutations_ % 64 != 0) chosen &= (std::uint64_t{1} << (permutations_ % 64)) - 1;
    for (; chosen != 0; chosen &= chosen - 1) {
      const int k = __builtin_ctzll(chosen);
      int c = 0;
      for (int b = 0; b < bits; ++b)
        c |= static_cast<int>((plane[static_cast<std::size_t>(b) * lanes_ + l] >> k) & 1) << b;
      const double p = p_of(flip ? t1 - c : c);
      double& m = minima_[l * 64 + static_cast<std::size_t>(k)];
      if (p < m) {
        lowered = true;
        m = p;
      }
    }
  }
  if (lowered) update_delta();
}

void WestfallYoung::test(const std::uint64_t* set, int x) {
  ++tested_;
  std::vector<double>& row = p_of_[static_cast<std::size_t>(x)];
  const int least = std::max(0, x - at_.t2()), most = std::min(x, at_.t1());
  if (row.empty()) row.assign(static_cast<std::size_t>(most) + 1, kNaN);
  auto p_of = [&](int a) {
    double& p = row[static_cast<std::size_t>(a)];
    if (std::isnan(p)) p = log10_fisher(at_.alternative(), a, at_.t1(), x - a, at_.t2());
    return p;
  };
  // The p-value of every alternative rises and then falls with the class-1
  // count a (each one-sided tail is monotone), so those below delta, the
  // only ones that can lower a minimum that matters, are the counts at or
  // below `low` and at or above `high`.
  int high = most + 1;
  while (high - 1 >= least && p_of(high - 1) < log10_delta_) --high;
  int low = least - 1;
  while (low + 1 < high && p_of(low + 1) < log10_delta_) ++low;
  if (high > most && low < least) return;

  // Per permutation, whether the set has at most `misses` sequences outside
  // class 1 (its count at least high) or at most `hits` inside (at most
  // low): one bit plane per number of them, so far, up to the limit.
  const int misses = high <= most ? x - high : -1, hits = low >= least ? low : -1;
  if (misses + hits + 2 > kFewPlanes) {
    count_all(set, x, low, high, least, most, p_of);
    return;
  }
  const std::size_t planes = static_cast<std::size_t>(misses + 1 + hits + 1);
  planes_.assign(planes * lanes_, 0);
  std::uint64_t* miss = planes_.data();
  std::uint64_t* hit = miss + static_cast<std::size_t>(misses + 1) * lanes_;
  for (std::size_t l = 0; l < lanes_; ++l) {
    if (misses >= 0) miss[l] = ~std::uint64_t{0};
    if (hits >= 0) hit[l] = ~std::uint64_t{0};
  }
  const std::size_t set_words = (static_cast<std::size_t>(at_.most_support()) + 63) / 64;
  for (std::size_t w = 0; w < set_words; ++w)
    for (std::uint64_t members = set[w]; members != 0; members &= members - 1) {
      const std::size_t s = w * 64 + static_cast<std::size_t>(__builtin_ctzll(members));
      const std::uint64_t* labels = &class1_[s * lanes_];
      std::uint64_t alive = 0;
      for (std::size_t l = 0; l < lanes_; ++l) {
        const std::uint64_t in = labels[l], out = ~in;
        for (int i = misses; i >= 1; --i) {
          std::uint64_t& p = miss[static_cast<std::size_t>(i) * lanes_ + l];
          p = (p & in) | (miss[static_cast<std::size_t>(i - 1) * lanes_ + l] & out);
          alive |= p;
        }
        if (misses >= 0) alive |= miss[l] &= in;
        for (int i = hits; i >= 1; --i) {
          std::uint64_t& p = hit[static_cast<std::size_t>(i) * lanes_ + l];
          p = (p & out) | (hit[static_cast<std::size_t>(i - 1) * lanes_ + l] & in);
          alive |= p;
        }
        if (hits >= 0) alive |= hit[l] &= out;
      }
      // No permutation can still give a count that matters.
      if (alive == 0) return;
    }

  bool lowered = false;
  auto offer = [&](std::size_t j, int a) {
    if (j >= static_cast<std::size_t>(permutations_)) return;  // the last lane's padding
    const double p = p_of(a);
    double& m = minima_[j];
    if (p < m) {
      lowered = true;
      m = p;
    }
  };
  for (std::size_t l = 0; l < lanes_; ++l) {
    for (int i = 0; i <= misses; ++i)
      for (std::uint64_t b = miss[static_cast<std::size_t>(i) * lanes_ + l]; b != 0; b &= b - 1)
        offer(l * 64 + static_cast<std::size_t>(__builtin_ctzll(b)), x - i);
    for (int i = 0; i <= hits; ++i)
      for (std::uint64_t b = hit[static_cast<std::size_t>(i) * lanes_ + l]; b != 0; b &= b - 1)
        offer(l * 64 + static_cast<std::size_t>(__builtin_ctzll(b)), i);
  }
  if (lowered) update_delta();
}

void WestfallYoung::update_delta() {
  if (allowed_ < 0) {
    log10_delta_ = -kInf;
  } else {
    scratch_ = minima_;
    const auto k = scratch_.begin() + allowed_;
    std::nth_element(scratch_.begin(), k, scratch_.end());
    log10_delta_ = *k;
  }
  while (floor_ <= at_.falling_until() && !(at_.log10_psi(floor_) < log10_delta_)) ++floor_;
}

void WestfallYoung::finish() { std::sort(minima_.begin(), minima_.end()); }

long WestfallYoung::at_or_below(double log10_p) const {
  return std::upper_bound(minima_.begin(), minima_.end(), log10_p + kSame) - minima_.begin();
}

bool WestfallYoung::significant(double log10_p) const {
  return !std::isnan(log10_p) && log10_p < log10_delta_ + kSame && at_or_below(log10_p) <= allowed_;
}

double WestfallYoung::log10_wy(double log10_p) const {
  if (std::isnan(log10_p)) return kNaN;
  if (!significant(log10_p)) return kInf;
  return std::log10(static_cast<double>(1 + at_or_below(log10_p)) / static_cast<double>(permutations_ + 1));
}

std::string WestfallYoung::line() const {
  return std::to_string(permutations_) + " permutations, seed " + std::to_string(seed_) + ", alpha " +
         shown_alpha(alpha_) + ", delta " + format_log10(log10_delta_) + ", sets tested " +
         std::to_string(tested_) + ", support floor " + std::to_string(floor_);
}

Significance::Significance(const SignificanceOptions& options, int t1, int t2, int first_floor,
                           bool count_queued)
    : options_(options),
      attainable_(t1, t2, options.alternative),
      tarone_(attainable_, options.alpha(), first_floor, options.rising_floor()),
      words_((static_cast<std::size_t>(t1 + t2) + 63) / 64) {
  if (options.fdr > 0)
    fdr_ = std::make_unique<Testability>(attainable_, options.fdr, first_floor, options.rising_floor());
  if (options.permutations > 0)
    wy_ = std::make_unique<WestfallYoung>(attainable_, options.alpha(), options.permutations, options.seed,
                                          first_floor);
  raise_to(std::max(first_floor, 1));
  wants_queued_ = count_queued && options.rising_floor() && !options.fwer_distinct;
}

Significance::~Significance() = default;

void Significance::queued(int x) {
  tarone_.count(x);
  if (fdr_) fdr_->count(x);
  raise_floor();
}

void Significance::tested(int x, const std::uint64_t* set) {
  bool fresh = true;
  if (set != nullptr) fresh = seen_.insert(hash_set(set, words_));
  if (!wants_queued_) {
    if (!options_.fwer_distinct || fresh) tarone_.count(x);
    if (fdr_) fdr_->count(x);
  }
  if (wy_ && set != nullptr && fresh && wy_->matters(x)) wy_->test(set, x);
  raise_floor();
}

void Significance::raise_floor() {
  if (!options_.rising_floor()) return;
  // Each correction is exact above its own floor; the search keeps the lowest.
  int least = tarone_.floor();
  if (fdr_) least = std::min(least, fdr_->floor());
  if (wy_) least = std::min(least, wy_->floor());
  raise_to(least);
}

void Significance::finish() {
  tarone_.finish();
  if (fdr_) fdr_->finish();
  if (wy_) wy_->finish();
}

bool Significance::significant(double log10_p) const {
  return wy_ ? wy_->significant(log10_p) : tarone_.significant(log10_p);
}

std::vector<std::string> Significance::lines() const {
  std::vector<std::string> lines;
  if (options_.alternative != Alternative::Greater)
    lines.push_back(std::string("alternative: ") +
                    (options_.alternative == Alternative::Less ? "less (class 1 holds the pattern less often)"
                                                                : "two-sided (twice the smaller one-sided p)"));
  const char* counted = options_.fwer_distinct ? "distinct sequence sets" : wants_queued_ ? "queued" : "tested";
  lines.push_back("tarone: " + tarone_.line(counted));
  if (wy_) lines.push_back("westfall-young: " + wy_->line());
  if (fdr_) lines.push_back("fdr: " + fdr_->line(wants_queued_ ? "queued" : "tested"));
  return lines;
}
