#include "results/site_matcher.h"

#include "alphabet/charset.h"
#include "input/input_string.h"

SiteMatcher::SiteMatcher(const CHARSET& charset, const unsigned char* coded, int length, int min_gap,
                         int max_gap)
    : charset_(charset), coded_(coded), length_(length), min_gap_(min_gap), max_gap_(max_gap) {}

bool SiteMatcher::gapped(const std::string& codes) const {
  for (char c : codes)
    if (static_cast<unsigned char>(c) > static_cast<unsigned>(charset_.total_codes)) return true;
  return false;
}

int SiteMatcher::start(const std::string& codes, int end) const {
  if (codes.empty()) return -1;
  if (!gapped(codes)) return end - static_cast<int>(codes.size());
  return match(codes, codes.size(), end - 1, nullptr);
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
  const unsigned code = static_cast<unsigned char>(codes[n - 1]);
  const bool gap = code > static_cast<unsigned>(charset_.total_codes);
  if (!fits(gap ? (code + 128) % 256 : code, q)) return -1;
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

SiteCoordinates site_coordinates(const input_string& input, int first, int end) {
  const int k = input.seq_of_pos[first];
  const int begin = input.seq_end[k - 1] + 1;
  const bool both = input.strands == 2;
  const int seq_len = both ? (input.seq_end[k] - begin - 1) / 2 : input.seq_end[k] - begin;
  SiteCoordinates site{k, first - begin + 1, seq_len, '+'};
  if (both && first > begin + seq_len) {
    const int offset = first - (begin + seq_len + 1);
    site.start = seq_len - (offset + (end - first)) + 1;
    site.strand = '-';
  }
  return site;
}
