#include "results/statistics.h"

#include <algorithm>
#include <cmath>

#include "alphabet/charset.h"
#include "input/input_classes.h"
#include "input/input_string.h"

#include "specfns/logtail.h"
#include "specfns/specfns_protos.h"

namespace {
constexpr double kLn10 = 2.302585092994045684;
}

double class_ratio(int s1, int t1, int s2, int t2) {
  const double f2 = static_cast<double>(s2) / t2;
  return f2 == 0 ? 1000000.0 : (static_cast<double>(s1) / t1) / f2;
}

double binomial_tail(int s1, int t1, int s2, int t2, int sign) {
  const double p = static_cast<double>(s2) / t2;
  return sign > 0 ? specfns::bdtrc(s1 - 1, t1, p) : specfns::bdtr(s1, t1, p);
}

double log_binomial_tail(int s1, int t1, int s2, int t2, int sign) {
  const double p = static_cast<double>(s2) / t2;
  return sign > 0 ? specfns::log_bdtrc(s1 - 1, t1, p) : specfns::log_bdtr(s1, t1, p);
}

double log10_min_fisher(int x, int t1, int t2) {
  const int a = std::min(x, t1);
  return log10_fisher_greater(a, t1, x - a, t2);
}

double log10_fisher_greater(int s1, int t1, int s2, int t2) {
  return specfns::log_fisher_greater(s1, t1, s2, t2) / kLn10;
}

double log10_fisher(Alternative alternative, int s1, int t1, int s2, int t2) {
  switch (alternative) {
    case Alternative::Greater:
      return log10_fisher_greater(s1, t1, s2, t2);
    case Alternative::Less:
      return log10_fisher_greater(s2, t2, s1, t1);
    case Alternative::TwoSided:
      break;
  }
  const double one_sided = std::min(log10_fisher_greater(s1, t1, s2, t2), log10_fisher_greater(s2, t2, s1, t1));
  return std::min(0.0, one_sided + std::log10(2.0));
}

double log10_min_fisher(Alternative alternative, int x, int t1, int t2) {
  const int most = std::min(x, t1), least = std::max(0, x - t2);
  return std::min(log10_fisher(alternative, most, t1, x - most, t2),
                  log10_fisher(alternative, least, t1, x - least, t2));
}

BackgroundModel::BackgroundModel(const input_string& input, const CHARSET& charset) {
  const int K = input.classes->nr_classes;
  std::array<double, 256> count{};
  for (int p = 0; p < input.length; ++p) {
    const unsigned c = input.coded[p];
    if (c == 0) continue;
    if (K >= 2 && input.class_of_seq[input.seq_of(p)] != 2) continue;
    count[c] += 1;
  }
  double total = 0;
  for (int c = 1; c <= charset.alphabet_size; ++c)
    if (charset.stop_flag[static_cast<std::size_t>(c)] == 0) total += count[static_cast<std::size_t>(c)] + 1;
  auto frequency = [&](unsigned c) {
    return charset.stop_flag[c] != 0 || total == 0 ? 0.0 : (count[c] + 1) / total;
  };
  for (unsigned code = 0; code < 256; ++code) {
    const CHARSET::Element e = charset.decode(static_cast<unsigned char>(code));
    double p = 1;
    if (e.kind == CHARSET::Kind::Character) {
      p = frequency(e.code);
    } else if (e.kind == CHARSET::Kind::Group) {
      p = 0;
      const unsigned char* row = charset.members[e.code];
      for (int k = 1; k <= row[0]; ++k) p += frequency(row[k]);
    }
    log10_of_code_[code] = std::log10(std::min(p, 1.0));
  }
}

double BackgroundModel::log10_probability(const std::string& codes) const {
  double sum = 0;
  for (char c : codes) sum += log10_of_code_[static_cast<unsigned char>(c)];
  return sum;
}
