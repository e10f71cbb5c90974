#include "results/results.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <iterator>
#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_map>

#include "alphabet/charset.h"
#include "input/input_classes.h"
#include "input/input_string.h"
#include "results/motifs.h"
#include "results/prosite.h"
#include "results/strand_pairs.h"
#include "results/row_fields.h"
#include "results/statistics.h"
#include "run/error.h"
#include "run/globals.h"
#include "run/stop_signals.h"
#include "run/word_choice.h"
#include "specfns/specfns_protos.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kLn10 = 2.302585092994045684;

// NaN sorts after every number: rows without a p-value come last.
int compare_ascending(double a, double b) {
  const bool na = std::isnan(a), nb = std::isnan(b);
  if (na || nb) return na == nb ? 0 : (na ? 1 : -1);
  return a < b ? -1 : (a > b ? 1 : 0);
}

std::uint64_t mix(std::uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

std::uint64_t counts_hash(const PatternRecord& r) {
  std::uint64_t h = 0;
  for (int v : r.seqs) h = mix(h ^ static_cast<std::uint32_t>(v));
  for (int v : r.positions) h = mix(h ^ (static_cast<std::uint64_t>(static_cast<std::uint32_t>(v)) << 32));
  return h;
}

constexpr std::uint64_t kBase = 0x100000001b3ULL;
constexpr double kMostLabelBytes = 2.0 * (1 << 30);
// The memory the sites of the rows kept under -top with -distinct or
// -maximal may take: so many bytes an input position, and never less than
// the least (which holds every row's sites on most inputs).
// A test build sets a budget of its own, so that almost every row has its
// sites found again, and must write what the normal build writes.
// The same build takes every row of a sixteenth of the input as large.
#ifdef MORVA_SITE_BUDGET_BYTES
constexpr std::size_t kSiteBytesPerPosition = 0;
constexpr std::size_t kLeastSiteBytes = MORVA_SITE_BUDGET_BYTES;
constexpr long kHugeRowPositions = 0;
#else
constexpr std::size_t kSiteBytesPerPosition = 2;
constexpr std::size_t kLeastSiteBytes = std::size_t{16} << 20;
constexpr long kHugeRowPositions = 1L << 22;
#endif

}  // namespace

bool parse_sort_order(const char* text, SortOrder& order) {
  static const std::pair<const char*, SortOrder> kOrders[] = {{"pvalue", SortOrder::PValue},
                                                               {"specificity", SortOrder::Specificity},
                                                               {"ratio", SortOrder::Ratio},
                                                               {"support", SortOrder::Support},
                                                               {"pattern", SortOrder::Pattern}};
  return choose_word(text, kOrders, order);
}

bool parse_alternative(const char* text, Alternative& alternative) {
  static const std::pair<const char*, Alternative> kAlternatives[] = {
      {"greater", Alternative::Greater}, {"less", Alternative::Less}, {"two-sided", Alternative::TwoSided}};
  return choose_word(text, kAlternatives, alternative);
}

Results::Results(const ResultOptions& options, RunInfo info, std::vector<std::unique_ptr<ResultSink>> sinks)
    : options_(options),
      info_(std::move(info)),
      nr_classes_(static_cast<int>(info_.classes.size())),
      judging_(options.any()),
      unbounded_(options.maximal || options.distinct) {
  if (judging_ && info_.input != nullptr) background_ = std::make_unique<BackgroundModel>(*info_.input, *info_.charset);
  for (auto& sink : sinks) {
    site_rows_ = std::max(site_rows_, sink->rows_with_sites());
    (sink->order() == SinkOrder::Search ? found_ : ranked_).push_back(std::move(sink));
  }
  if (info_.input != nullptr && info_.input->strands == 2 && !ranked_.empty())
    strand_pairs_ = std::make_unique<StrandPairs>(*info_.charset);
  if (nr_classes_ >= 2 && info_.input != nullptr) {
    // Each sequence of classes 1 and 2 is one bit of a sequence set, class 1's first.
    const input_string& input = *info_.input;
    bit_of_seq_.assign(static_cast<std::size_t>(input.nr_sequences) + 1, -1);
    int t[3] = {0, 0, 0};
    for (int k = 1; k <= input.nr_sequences; ++k)
      if (input.class_of_seq[k] == 1 || input.class_of_seq[k] == 2) ++t[input.class_of_seq[k]];
    int next[3] = {0, 0, t[1]};
    for (int k = 1; k <= input.nr_sequences; ++k)
      if (input.class_of_seq[k] == 1 || input.class_of_seq[k] == 2)
        bit_of_seq_[static_cast<std::size_t>(k)] = next[input.class_of_seq[k]]++;
    // With two classes (and no sequence outside them) a node's sequences
    // are its support; duplicate detection moves subtrees, so that a queued
    // node is not surely tested.
    // The permutations are held as one bit per sequence and permutation.
    const double label_bytes = static_cast<double>(t[1] + t[2]) * static_cast<double>(options_.significance.permutations) / 8;
    if (label_bytes > kMostLabelBytes)
      fatal("-wy %ld: the labels of %ld permutations of %d sequences take %.1f GiB, more than the %.0f GiB "
            "allowed; ask for fewer permutations",
            options_.significance.permutations, options_.significance.permutations, t[1] + t[2],
            label_bytes / (1 << 30), kMostLabelBytes / (1 << 30));
    significance_ = std::make_unique<Significance>(options_.significance, t[1], t[2], minstrings,
                                                   nr_classes_ == 2 && t[1] + t[2] == input.nr_sequences &&
                                                       abandonequal == 0);
    set_words_.assign(significance_->set_words(), 0);
  }
  for (auto& sink : found_) sink->begin(info_);
  // The heap is bounded by -top, unless -maximal or -distinct must see every row.
  if (options_.top > 0 && !unbounded_ && !ranked_.empty())
    rows_.reserve(static_cast<std::size_t>(std::min(options_.top, 1L << 20)) + 1);
  // The ranking seldom reads far past -top rows (rows that join a motif
  // are read too, and with -maximal some are dropped first); a row beyond
  // the budget that it does read has its sites found again.
  // Rows of more positions than a sixteenth of the input keep no sites
  // while the search runs; on the inputs of every day no row is that large.
  huge_row_ = info_.input != nullptr ? std::max<long>(kHugeRowPositions, info_.input->length / 256) : LONG_MAX;
  if (options_.top > 0 && unbounded_ && !ranked_.empty() && info_.input != nullptr)
    site_budget_ = std::max(kLeastSiteBytes, kSiteBytesPerPosition * static_cast<std::size_t>(info_.input->length));
}

// The ranking: the chosen key, then more class-1 sequences, then (but for
// the p-value and specificity orders, whose ties go to the less likely
// pattern instead) the shorter pattern, then the text and the codes, so
// that the order is total.
bool Results::better(const PatternRecord& a, const PatternRecord& b) const {
  int c = 0;
  switch (options_.sort) {
    case SortOrder::PValue:
      c = compare_ascending(a.log10_p, b.log10_p);
      if (c == 0) c = compare_ascending(a.log10_bg, b.log10_bg);
      break;
    case SortOrder::Specificity:
      c = compare_ascending(a.log10_bg, b.log10_bg);
      if (c == 0) c = compare_ascending(a.log10_p, b.log10_p);
      break;
    case SortOrder::Ratio: c = compare_ascending(-a.ratio, -b.ratio); break;
    case SortOrder::Support:
      c = compare_ascending(-static_cast<double>(a.seqs[nr_classes_ + 1]),
                            -static_cast<double>(b.seqs[nr_classes_ + 1]));
      break;
    case SortOrder::Pattern: c = a.text.compare(b.text); break;
  }
  if (c != 0) return c < 0;
  if (a.seqs[1] != b.seqs[1]) return a.seqs[1] > b.seqs[1];
  const bool by_chance = options_.sort == SortOrder::PValue || options_.sort == SortOrder::Specificity;
  if (!by_chance && a.length != b.length) return a.length < b.length;
  if (a.text != b.text) return a.text < b.text;
  return a.codes < b.codes;
}

bool Results::judge(PatternRecord& r) {
  r.text = info_.charset->spell(r.codes);
  if (!judging_) return true;
  ++accepted_;
  // What ranks every pattern is computed here; the binomial tail, needed
  // only for the rows that are written, waits for finish().
  if (nr_classes_ >= 2) {
    const int t1 = total_string_count[1], t2 = total_string_count[2];
    // The table says what the report's 1e+06 stands for: infinite when only
    // class 2 lacks the pattern, undefined when both classes do (sorted last).
    r.ratio = r.seqs[2] != 0 ? class_ratio(r.seqs[1], t1, r.seqs[2], t2)
              : r.seqs[1] != 0 ? std::numeric_limits<double>::infinity()
                               : kNaN;
    r.log10_p = log10_fisher(options_.significance.alternative, r.seqs[1], t1, r.seqs[2], t2);
  } else {
    r.ratio = r.bp = r.log10_bp = r.log10_p = kNaN;
  }
  r.log10_bg = background_ ? background_->log10_probability(r.codes) : kNaN;
  all_log10_p_.push_back(r.log10_p);
  if (options_.significance.fdr > 0 && nr_classes_ >= 2) all_support_.push_back(r.seqs[1] + r.seqs[2]);
  if (options_.trim_wc && !r.codes.empty() &&
      info_.charset->decode(static_cast<unsigned char>(r.codes.back())).kind == CHARSET::Kind::Wildcard)
    return false;
  r.order = static_cast<long>(seen_.size());
  seen_.push_back(Seen{counts_hash(r), r.codes});
  return true;
}

void Results::deliver(const PatternRecord& record) {
  if (found_.empty()) return;
  if (options_.maximal) {
    // Whether the pattern stays is known only when the search has ended.
    held_.push_back(record);
    held_.back().ends.clear();
    return;
  }
  for (auto& sink : found_) sink->pattern(record);
}

bool Results::would_keep(const PatternRecord& record) const {
  if (site_budget_ > 0)
    return site_bytes_ < site_budget_ || site_heap_.empty() || better(record, rows_[site_heap_.front()]);
  if (options_.top <= 0 || unbounded_ || static_cast<long>(rows_.size()) < row_bound()) return true;
  return better(record, rows_.front());
}

// With -top (or -maximal, which keeps every row until the end) the rows that
// would be kept are the candidates; a sink that writes the sites of only its
// first rows (the page) without -top keeps a small heap of the best rows so
// far, so that the sets of the other patterns are never copied.
bool Results::wants_sites(const PatternRecord& record) {
  if (site_rows_ == 0) return false;
  if (options_.top > 0 || unbounded_) return would_keep(record);
  if (site_rows_ == ResultSink::kAllRows) return true;
  const auto bound = static_cast<std::size_t>(site_rows_);
  auto worse_first = [this](const PatternRecord& a, const PatternRecord& b) { return better(a, b); };
  if (best_.size() < bound) {
    best_.push_back(record);
    std::push_heap(best_.begin(), best_.end(), worse_first);
    return true;
  }
  if (!better(record, best_.front())) return false;
  std::pop_heap(best_.begin(), best_.end(), worse_first);
  best_.back() = record;
  std::push_heap(best_.begin(), best_.end(), worse_first);
  return true;
}

void Results::take_class1_ends(PatternRecord& record) const {
  const input_string& input = *info_.input;
  for (int end : ends_)
    if (input.class_of_seq[input.seq_of(end - 1)] == 1) record.class1_ends.push(end);
}

void Results::keep(const PatternRecord& record) {
  if (options_.top <= 0 || unbounded_) {
    rows_.push_back(record);
    return;
  }
  // A heap whose first row is the worst kept: a better newcomer replaces it.
  auto worse_first = [this](const PatternRecord& a, const PatternRecord& b) { return better(a, b); };
  if (static_cast<long>(rows_.size()) < row_bound()) {
    rows_.push_back(record);
    std::push_heap(rows_.begin(), rows_.end(), worse_first);
  } else if (better(record, rows_.front())) {
    std::pop_heap(rows_.begin(), rows_.end(), worse_first);
    rows_.back() = record;
    std::push_heap(rows_.begin(), rows_.end(), worse_first);
  }
}

// A pattern is not maximal when a longer accepted pattern holds its codes
// and has the same sequence and position counts in every class: it says
// nothing the longer one does not. Only patterns with equal counts can hold
// one another, so the accepted patterns are sorted by their counts' hash
// and each group of two or more is judged on its own: every proper
// substring of a member (of a length some member has) is looked up among
// the group's members by a rolling hash and then compared.
void Results::mark_contained() {
  contained_.assign(seen_.size(), 0);
  std::vector<std::uint32_t> order(seen_.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
  std::sort(order.begin(), order.end(),
            [this](std::uint32_t a, std::uint32_t b) { return seen_[a].counts < seen_[b].counts; });

  std::vector<std::uint64_t> prefix, power;
  auto hash_codes = [&](const std::string& codes) {
    prefix.assign(codes.size() + 1, 0);
    power.assign(codes.size() + 1, 1);
    for (std::size_t i = 0; i < codes.size(); ++i) {
      prefix[i + 1] = prefix[i] * kBase + static_cast<unsigned char>(codes[i]) + 1;
      power[i + 1] = power[i] * kBase;
    }
    return prefix[codes.size()];
  };
  std::unordered_map<std::uint64_t, std::uint32_t> members;
  for (std::size_t g = 0, groups = 0; g < order.size(); ++groups) {
    stop_point_at(groups);
    std::size_t end = g + 1;
    while (end < order.size() && seen_[order[end]].counts == seen_[order[g]].counts) ++end;
    if (end - g >= 2) {
      members.clear();
      std::size_t shortest = SIZE_MAX;
      for (std::size_t i = g; i < end; ++i) {
        const std::string& codes = seen_[order[i]].codes;
        members.emplace(hash_codes(codes), order[i]);
        shortest = std::min(shortest, codes.size());
      }
      for (std::size_t i = g; i < end; ++i) {
        const std::string& codes = seen_[order[i]].codes;
        hash_codes(codes);
        const std::size_t n = codes.size();
        for (std::size_t len = std::max<std::size_t>(shortest, 1); len < n; ++len) {
          for (std::size_t at = 0; at + len <= n; ++at) {
            const auto hit = members.find(prefix[at + len] - prefix[at] * power[len]);
            if (hit != members.end() && seen_[hit->second].codes.compare(0, std::string::npos, codes, at, len) == 0)
              contained_[hit->second] = 1;
          }
        }
      }
    }
    g = end;
  }
}

void Results::count_sites_once(PatternRecord& record) { keep_sites_once(record.codes, &record.positions); }

void Results::keep_sites_once(const std::string& codes, std::vector<int>* positions) {
  if (!site_matcher_) site_matcher_ = std::make_unique<SiteMatcher>(*info_.input, info_.min_gap, info_.max_gap);
  const input_string& input = *info_.input;
  // A site is found twice only across the strands: on one strand an end
  // fixes the site. The ends come in increasing order, so a sequence's
  // sites on its forward run all come before those on its reverse run,
  // which are kept unless the forward run has the same site (start and
  // length). The sites of one sequence are few; a tree over the sites of
  // all of them cost more than the search on peak sets.
  std::vector<std::pair<int, int>> forward;  // of the sequence being read
  int sequence = -1;
  bool sorted = false;
  std::vector<int> once;
  if (positions != nullptr) std::fill(positions->begin(), positions->end(), 0);
  Site site;
  for (int end : ends_) {
    if (!site_matcher_->locate(codes, end, site)) continue;
    if (site.sequence != sequence) {
      sequence = site.sequence;
      forward.clear();
      sorted = false;
    }
    const std::pair<int, int> key(site.start, site.end - site.first);
    if (site.strand == '+') {
      forward.push_back(key);
    } else {
      if (!sorted) {
        std::sort(forward.begin(), forward.end());
        sorted = true;
      }
      if (std::binary_search(forward.begin(), forward.end(), key)) continue;
    }
    once.push_back(end);
    if (positions == nullptr) continue;
    ++(*positions)[input.class_of_seq[static_cast<std::size_t>(site.sequence)]];
    ++positions->back();
  }
  ends_.swap(once);
}

namespace {
std::size_t site_bytes(const PatternRecord& r) {
  return r.class1_ends.capacity() + r.ends.capacity() * sizeof(int);
}
}  // namespace

void Results::budget_sites(bool in_budget) {
  auto drop = [](PatternRecord& r) {
    std::vector<int>().swap(r.ends);
    r.class1_ends.release();
    r.sites_dropped = true;
  };
  PatternRecord& kept = rows_.back();
  if (!in_budget) {
    drop(kept);
    return;
  }
  auto worse_first = [this](std::size_t a, std::size_t b) { return better(rows_[a], rows_[b]); };
  kept.class1_ends.shrink_to_fit();
  kept.ends.shrink_to_fit();
  site_bytes_ += site_bytes(kept);
  site_heap_.push_back(rows_.size() - 1);
  std::push_heap(site_heap_.begin(), site_heap_.end(), worse_first);
  // The worst rows give their sites up; the one just kept may be among them.
  while (site_bytes_ > site_budget_ && site_heap_.size() > 1) {
    std::pop_heap(site_heap_.begin(), site_heap_.end(), worse_first);
    PatternRecord& worst = rows_[site_heap_.back()];
    site_bytes_ -= std::min(site_bytes_, site_bytes(worst));
    drop(worst);
    site_heap_.pop_back();
  }
}

void Results::find_sites(PatternRecord& record) {
  if (!site_matcher_) site_matcher_ = std::make_unique<SiteMatcher>(*info_.input, info_.min_gap, info_.max_gap);
  const input_string& input = *info_.input;
  ends_.clear();
  // Every end of an occurrence: the position after its last matched
  // character, which lies in the sequence (its separator at the latest).
  for (int k = 1; k <= input.nr_sequences; ++k) {
    if (site_rows_ == 0 && input.class_of_seq[static_cast<std::size_t>(k)] != 1) continue;
    const int first = input.seq_end[static_cast<std::size_t>(k) - 1] + 1;
    const int last = input.seq_end[static_cast<std::size_t>(k)];
    for (int end = first + 1; end <= last; ++end)
      if (site_matcher_->matches(record.codes, end)) ends_.push_back(end);
  }
  if (strand_pairs_ && strand_pairs_->self_complementary(record.codes)) keep_sites_once(record.codes, nullptr);
  record.class1_ends.clear();
  take_class1_ends(record);
  if (site_rows_ != 0) record.ends = ends_;
  record.sites_dropped = false;
}

void Results::merge_strand_pairs() {
  std::unordered_map<std::string, std::size_t> place;  // codes -> index in kept
  std::vector<PatternRecord> kept;
  kept.reserve(rows_.size());
  std::size_t step = 0;
  for (PatternRecord& r : rows_) {
    stop_point_at(step++);
    const std::string rc = strand_pairs_->reverse_complement(r.codes);
    if (!rc.empty() && rc != r.codes) {
      const auto partner = place.find(rc);
      if (partner != place.end()) {
        // One row in the place of the better ranked (the two have the same
        // counts), named by the form whose text sorts first.
        PatternRecord& first = kept[partner->second];
        if (r.text < first.text) {
          place.erase(partner);
          place.emplace(r.codes, static_cast<std::size_t>(&first - kept.data()));
          first = std::move(r);
        }
        continue;
      }
    }
    place.emplace(r.codes, kept.size());
    kept.push_back(std::move(r));
  }
  rows_.swap(kept);
}

void Results::group_motifs() {
  MotifGrouper grouper(*info_.input, info_.min_gap, info_.max_gap);
  std::vector<PatternRecord> kept;
  std::size_t step = 0;
  for (PatternRecord& r : rows_) {
    stop_point_at(step++);
    if (options_.distinct && options_.top > 0 && grouper.motifs() >= options_.top) break;
    bool leads = false;
    if (r.sites_dropped) find_sites(r);
    r.motif = grouper.add(r.codes, r.class1_ends, leads);
    if (!options_.distinct || leads) kept.push_back(std::move(r));
  }
  rows_.swap(kept);
}

void Results::search_ended() {
  if (held_.empty()) return;
  if (contained_.size() != seen_.size()) mark_contained();
  for (const PatternRecord& record : held_)
    if (contained_[static_cast<std::size_t>(record.order)] == 0)
      for (auto& sink : found_) sink->pattern(record);
  held_.clear();
  held_.shrink_to_fit();
}

// Benjamini-Hochberg over every tested pattern: q of the i-th smallest of
// m p-values is the least p(j) m / j over j >= i, with m the patterns
// tested, not only those accepted: a filter that looks at the classes
// (-goodratio, -binomial_prob) must not make the rest look better. The
// patterns not accepted are taken as the largest p-values. Entry r of the
// result is the q-value of row r (NaN without p-values).
std::vector<double> Results::log10_qvalues() const {
  std::vector<double> sorted;
  for (double p : all_log10_p_)
    if (!std::isnan(p)) sorted.push_back(p);
  std::sort(sorted.begin(), sorted.end());
  const double log10_m = std::log10(static_cast<double>(std::max<long>(tested_, 1)));
  std::vector<double> least(sorted.size());
  double running = 0;  // q never exceeds 1
  for (std::size_t j = sorted.size(); j-- > 0;) {
    running = std::min(running, sorted[j] + log10_m - std::log10(static_cast<double>(j + 1)));
    least[j] = running;
  }
  std::vector<double> q;
  for (const PatternRecord& r : rows_) {
    if (std::isnan(r.log10_p)) {
      q.push_back(kNaN);
      continue;
    }
    // Tied p-values share the q of the last of them.
    const std::size_t j = std::upper_bound(sorted.begin(), sorted.end(), r.log10_p) - sorted.begin();
    q.push_back(least[j - 1]);
  }
  return q;
}

const std::uint64_t* Results::sequence_set(const std::vector<int>& ends) {
  std::fill(set_words_.begin(), set_words_.end(), 0);
  const input_string& input = *info_.input;
  for (int p : ends) {
    const int bit = bit_of_seq_[input.seq_of(p)];
    if (bit >= 0) set_words_[static_cast<std::size_t>(bit) / 64] |= std::uint64_t{1} << (bit % 64);
  }
  return set_words_.data();
}

// Gilbert's Tarone-BH: the step-up over the patterns whose smallest
// attainable p-value reaches the Tarone threshold at the -fdr level, m the
// number of those. Testable patterns that were not accepted count as the
// largest p-values.
double Results::log10_fdr_cut() const {
  const Testability& fdr = *significance_->fdr();
  const Attainable& at = significance_->attainable();
  std::vector<double> testable;
  for (std::size_t i = 0; i < all_log10_p_.size(); ++i)
    if (!std::isnan(all_log10_p_[i]) && fdr.significant(at.log10_psi(all_support_[i])))
      testable.push_back(all_log10_p_[i]);
  std::sort(testable.begin(), testable.end());
  const double log10_level = std::log10(options_.significance.fdr) -
                             std::log10(static_cast<double>(std::max<long>(fdr.testable(), 1)));
  double cut = -std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < testable.size(); ++i)
    if (testable[i] <= log10_level + std::log10(static_cast<double>(i + 1))) cut = testable[i];
  return cut;
}

void Results::finish() {
  RunSummary found_summary;
  found_summary.tested = tested_;
  found_summary.accepted = accepted_;
  for (auto& sink : found_) sink->end(found_summary);
  if (ranked_.empty()) return;
  if (contained_.size() != seen_.size()) mark_contained();
  stop_point();
  if (options_.maximal)
    rows_.erase(std::remove_if(rows_.begin(), rows_.end(),
                               [this](const PatternRecord& r) {
                                 return contained_[static_cast<std::size_t>(r.order)] != 0;
                               }),
                rows_.end());
  std::sort(rows_.begin(), rows_.end(),
            [this](const PatternRecord& a, const PatternRecord& b) { return better(a, b); });
  stop_point();
  if (strand_pairs_) merge_strand_pairs();
  if (!options_.distinct && options_.top > 0 && static_cast<long>(rows_.size()) > options_.top)
    rows_.resize(static_cast<std::size_t>(options_.top));
  group_motifs();

  const int sign = binomial_prob < 0 ? -1 : 1;
  const double log10_tested = std::log10(static_cast<double>(tested_));
  const std::vector<double> q = log10_qvalues();
  std::vector<std::string> significance_lines;
  double fdr_cut = 0;
  const SignificanceOptions& asked = options_.significance;
  if (significance_) {
    significance_->finish();
    significance_lines = significance_->lines();
    if (asked.fdr > 0) fdr_cut = log10_fdr_cut();
  }
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    stop_point_at(i);
    PatternRecord& r = rows_[i];
    r.rank = static_cast<long>(i) + 1;
    r.log10_q = q[i];
    r.log10_e = std::isnan(r.log10_p) ? kNaN : r.log10_p + log10_tested;
    r.maximal = contained_[static_cast<std::size_t>(r.order)] == 0;
    if (options_.prosite) r.prosite = prosite_spelling(*info_.charset, r.codes, info_.min_gap, info_.max_gap);
    r.log10_tarone = r.log10_wy = kNaN;
    r.significant = r.fdr_significant = -1;
    if (!significance_) continue;
    r.log10_tarone = significance_->tarone().log10_adjusted(r.log10_p);
    if (asked.marks_rows()) r.significant = significance_->significant(r.log10_p) ? 1 : 0;
    if (const WestfallYoung* wy = significance_->westfall_young()) r.log10_wy = wy->log10_wy(r.log10_p);
    if (asked.fdr > 0)
      r.fdr_significant = significance_->fdr()->significant(
                              significance_->attainable().log10_psi(r.seqs[1] + r.seqs[2])) &&
                                  r.log10_p <= fdr_cut
                              ? 1
                              : 0;
    const int s1 = r.seqs[1], s2 = r.seqs[2];
    const int t1 = total_string_count[1], t2 = total_string_count[2];
    const double ln_bp = log_binomial_tail(s1, t1, s2, t2, sign);
    r.log10_bp = ln_bp / kLn10;
    // The value the report prints as BP, from the same library call; its
    // logarithm above is what does not underflow.
    try {
      r.bp = binomial_tail(s1, t1, s2, t2, sign);
    } catch (const specfns::MathException&) {
      r.bp = std::exp(ln_bp);
    }
  }

  RunSummary summary = found_summary;
  summary.rows = static_cast<long>(rows_.size());
  summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  summary.significance = significance_lines;
  info_.figures = summary;
  // One file after the other, each whole before the next begins.
  for (auto& sink : ranked_) {
    sink->begin(info_);
    for (const PatternRecord& r : rows_) sink->pattern(r);
    sink->end(summary);
  }
}
