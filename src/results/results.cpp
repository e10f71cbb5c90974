#include "results/results.h"
#include "run/word_choice.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <memory>
#include <cstring>
#include <limits>
#include <climits>
#include <cstdint>
#include <unordered_map>

#include "alphabet/charset.h"
#include "input/input_classes.h"
#include "input/input_string.h"
#include "run/error.h"
#include "run/globals.h"
#include "run/report_stream.h"
#include "specfns/logtail.h"
#include "specfns/specfns_protos.h"

namespace {

constexpr double kLn10 = 2.302585092994045684;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};

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

}  // namespace

bool parse_sort_order(const char* text, SortOrder& order) {
  static const std::pair<const char*, SortOrder> kOrders[] = {{"pvalue", SortOrder::PValue},
                                                               {"ratio", SortOrder::Ratio},
                                                               {"support", SortOrder::Support},
                                                               {"pattern", SortOrder::Pattern}};
  return choose_word(text, kOrders, order);
}

std::string format_log10(double l) {
  char text[64];
  if (std::isnan(l)) return "";
  if (l == -std::numeric_limits<double>::infinity()) return "0";
  if (l > -300 && l < 300) {
    std::snprintf(text, sizeof text, "%.3g", std::pow(10.0, l));
    return text;
  }
  // Three significant digits of the mantissa, carried into the exponent
  // when they round up to 10.
  double e = std::floor(l);
  double m = std::round(std::pow(10.0, l - e) * 100.0) / 100.0;
  if (m >= 10.0) m /= 10.0, e += 1;
  std::snprintf(text, sizeof text, "%.3ge%+03d", m, static_cast<int>(e));
  return text;
}

Results::Results(const ResultOptions& options, const input_string& input, char** files,
                 std::string command, std::FILE* table_stream)
    : options_(options),
      input_(input),
      charset_(*input.charset),
      command_(std::move(command)),
      table_stream_(table_stream),
      nr_classes_(input.classes->nr_classes),
      binomial_sign_(binomial_prob < 0 ? -1 : 1) {
  for (int f = 1; files[f] != nullptr; ++f) files_.emplace_back(files[f]);
  // The heap is bounded by -top, unless -maximal must see every row.
  if (options_.top > 0 && !options_.maximal)
    rows_.reserve(static_cast<std::size_t>(std::min(options_.top, 1L << 20)) + 1);
}

bool Results::ends_in_wildcard(const std::string& codes) const {
  if (codes.empty()) return false;
  const int last = static_cast<unsigned char>(codes.back()) % 128;
  const bool dot_group = nr_wc_allowed != 0 && last == charset_.total_codes;
  return dot_group || (last != 0 && last == charset_.wildcard_code);
}

// The ranking: the chosen key, then more class-1 sequences, then the shorter
// pattern, then the text and the codes, so that the order is total.
bool Results::better(const PatternRecord& a, const PatternRecord& b) const {
  int c = 0;
  switch (options_.sort) {
    case SortOrder::PValue: c = compare_ascending(a.log10_p, b.log10_p); break;
    case SortOrder::Ratio: c = compare_ascending(-a.ratio, -b.ratio); break;
    case SortOrder::Support:
      c = compare_ascending(-static_cast<double>(a.seqs[nr_classes_ + 1]),
                            -static_cast<double>(b.seqs[nr_classes_ + 1]));
      break;
    case SortOrder::Pattern: c = a.text.compare(b.text); break;
  }
  if (c != 0) return c < 0;
  if (a.seqs[1] != b.seqs[1]) return a.seqs[1] > b.seqs[1];
  if (a.length != b.length) return a.length < b.length;
  if (a.text != b.text) return a.text < b.text;
  return a.codes < b.codes;
}

bool Results::judge(PatternRecord& r) {
  ++accepted_;
  // What ranks every pattern is computed here; the binomial tail, needed
  // only for the rows that are written, waits for finish().
  if (nr_classes_ >= 2) {
    const int s1 = r.seqs[1], s2 = r.seqs[2];
    const int t1 = total_string_count[1], t2 = total_string_count[2];
    const double f2 = static_cast<double>(s2) / t2;
    r.ratio = f2 == 0 ? 1000000.0 : (static_cast<double>(s1) / t1) / f2;
    r.log10_p = specfns::log_fisher_greater(s1, t1, s2, t2) / kLn10;
  } else {
    r.ratio = r.bp = r.log10_bp = r.log10_p = kNaN;
  }
  all_log10_p_.push_back(r.log10_p);
  if (options_.trim_wc && ends_in_wildcard(r.codes)) return false;
  r.order = static_cast<long>(seen_.size());
  seen_.push_back(Seen{counts_hash(r), r.codes});
  return true;
}

bool Results::would_keep(const PatternRecord& record) const {
  if (options_.top <= 0 || options_.maximal || static_cast<long>(rows_.size()) < options_.top) return true;
  return better(record, rows_.front());
}

void Results::keep(PatternRecord record) {
  if (options_.top <= 0 || options_.maximal) {
    rows_.push_back(std::move(record));
    return;
  }
  // A heap whose first row is the worst kept: a better newcomer replaces it.
  auto worse_first = [this](const PatternRecord& a, const PatternRecord& b) { return better(a, b); };
  if (static_cast<long>(rows_.size()) < options_.top) {
    rows_.push_back(std::move(record));
    std::push_heap(rows_.begin(), rows_.end(), worse_first);
  } else if (better(record, rows_.front())) {
    std::pop_heap(rows_.begin(), rows_.end(), worse_first);
    rows_.back() = std::move(record);
    std::push_heap(rows_.begin(), rows_.end(), worse_first);
  }
}

void Results::hold_line(std::string line) {
  held_lines_.emplace_back(static_cast<long>(seen_.size()) - 1, std::move(line));
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
  for (std::size_t g = 0; g < order.size();) {
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

void Results::print_held_lines() {
  if (contained_.size() != seen_.size()) mark_contained();
  for (const auto& held : held_lines_) {
    if (contained_[static_cast<std::size_t>(held.first)] == 0) {
      std::fputs(held.second.c_str(), stdout);
      flush_report();
    }
  }
  held_lines_.clear();
}

// Benjamini-Hochberg over every accepted pattern: q of the i-th smallest of
// m p-values is the least p(j) m / j over j >= i. Entry r of the result is
// the q-value of row r (NaN without p-values).
std::vector<double> Results::log10_qvalues() const {
  std::vector<double> sorted;
  for (double p : all_log10_p_)
    if (!std::isnan(p)) sorted.push_back(p);
  std::sort(sorted.begin(), sorted.end());
  const double log10_m = std::log10(static_cast<double>(sorted.size()));
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

void Results::finish() {
  // The maximal column and -maximal need the judgement; the sites alone do not.
  if ((options_.table || options_.json || options_.html || options_.maximal) && contained_.size() != seen_.size())
    mark_contained();
  if (options_.maximal)
    rows_.erase(std::remove_if(rows_.begin(), rows_.end(),
                               [this](const PatternRecord& r) {
                                 return contained_[static_cast<std::size_t>(r.order)] != 0;
                               }),
                rows_.end());
  std::sort(rows_.begin(), rows_.end(),
            [this](const PatternRecord& a, const PatternRecord& b) { return better(a, b); });
  if (options_.top > 0 && static_cast<long>(rows_.size()) > options_.top)
    rows_.resize(static_cast<std::size_t>(options_.top));
  if (nr_classes_ >= 2) {
    for (PatternRecord& r : rows_) {
      const int s1 = r.seqs[1], s2 = r.seqs[2];
      const int t1 = total_string_count[1], t2 = total_string_count[2];
      const double f2 = static_cast<double>(s2) / t2;
      const double ln_bp = binomial_sign_ > 0 ? specfns::log_bdtrc(s1 - 1, t1, f2)
                                              : specfns::log_bdtr(s1, t1, f2);
      r.log10_bp = ln_bp / kLn10;
      // The value the report prints as BP, from the same library call; its
      // logarithm above is what does not underflow.
      try {
        r.bp = binomial_sign_ > 0 ? specfns::bdtrc(s1 - 1, t1, f2) : specfns::bdtr(s1, t1, f2);
      } catch (const specfns::MathException&) {
        r.bp = std::exp(ln_bp);
      }
    }
  }
  const std::vector<double> q = log10_qvalues();

  if (options_.table) write_file(options_.table, &Results::write_table, q);
  if (options_.json) write_file(options_.json, &Results::write_json, q);
  if (options_.sites) write_file(options_.sites, &Results::write_sites, q);
  if (options_.html) write_file(options_.html, &Results::write_html, q);
}

void Results::write_file(const char* name, Writer writer, const std::vector<double>& q) const {
  std::unique_ptr<std::FILE, FileCloser> owned;
  std::FILE* out = table_stream_;
  if (std::strcmp(name, "-") != 0 || out == nullptr) {
    owned.reset(std::fopen(name, "w"));
    out = owned.get();
    if (out == nullptr) fatal("cannot write %s: %s", name, std::strerror(errno));
  }
  (this->*writer)(out, q);
  if (std::fflush(out) != 0 || std::ferror(out) != 0 || (owned && std::fclose(owned.release()) != 0))
    fatal("cannot write %s: %s", name, std::strerror(errno));
}
