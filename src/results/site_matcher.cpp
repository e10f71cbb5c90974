#include "results/site_matcher.h"

#include "alphabet/charset.h"
#include "input/input_string.h"

SiteMatcher::SiteMatcher(const input_string& input, int min_gap, int max_gap)
    : input_(input),
      charset_(*input.charset),
      coded_(input.coded),
      length_(input.length),
      min_gap_(min_gap),
      max_gap_(max_gap) {}

bool SiteMatcher::gapped(const std::string& codes) const {
  for (char c : codes)
    if (charset_.follows_gap(static_cast<unsigned char>(c))) return true;
  return false;
}

bool SiteMatcher::locate(const std::string& codes, int end, Site& site) const {
  if (!place(codes, end, site.at)) return false;
  const int first = site.at[0];
  const int k = input_.seq_of(first);
  const int begin = input_.seq_end[k - 1] + 1;
  const bool both = input_.strands == 2;
  const int seq_len = both ? (input_.seq_end[k] - begin - 1) / 2 : input_.seq_end[k] - begin;
  site.first = first;
  site.end = end;
  site.sequence = k;
  site.start = first - begin + 1;
  site.sequence_length = seq_len;
  site.strand = '+';
  if (both && first > begin + seq_len) {
    const int offset = first - (begin + seq_len + 1);
    site.start = seq_len - (offset + (end - first)) + 1;
    site.strand = '-';
  }
  return true;
}

bool SiteMatcher::place(const std::string& codes, int end, std::vector<int>& at) const {
  at.assign(codes.size(), -1);
  if (codes.empty()) return false;
  if (!gapped(codes)) {
    const int first = end - static_cast<int>(codes.size());
    for (std::size_t i = 0; i < codes.size(); ++i) at[i] = first + static_cast<int>(i);
    return first >= 0;
  }
  return match(codes, codes.size(), end - 1, &at) >= 0;
}

// Whether code x (a character or a group) stands at q.
bool SiteMatcher::fits(unsigned x, int q) const {
  if (q < 0 || q >= length_) return false;
  const unsigned c = coded_[q];
  if (c == 0) return false;
  if (x <= static_cast<unsigned>(charset_.alphabet_size)) return c == x;
  const unsigned char* row = charset_.members[x];
  for (int k = 1; k <= row[0]; ++k)
    if (row[k] == c) return true;
  return false;
}

bool SiteMatcher::usable(int q) const {
  return q >= 0 && q < length_ && coded_[q] != 0 && charset_.stop_flag[coded_[q]] == 0;
}

// Element n - 1 of `codes` ends at q; returns the start of element 0. Each
// level writes its own place before trying the shorter prefix, so after a
// match `at` holds the places of the successful path.
int SiteMatcher::match(const std::string& codes, std::size_t n, int q, std::vector<int>* at) const {
  const CHARSET::Element element = charset_.decode(static_cast<unsigned char>(codes[n - 1]));
  const bool gap = element.after_gap;
  if (!fits(element.code, q)) return -1;
  if (at != nullptr) (*at)[n - 1] = q;
  if (n == 1) return q;
  if (!gap) return match(codes, n - 1, q - 1, at);
  for (int g = 0; g <= max_gap_; ++g) {
    if (g > 0 && !usable(q - g)) break;
    if (g < min_gap_) continue;
    const int found = match(codes, n - 1, q - 1 - g, at);
    if (found >= 0) return found;
  }
  return -1;
}
