// The sites of the rows kept: every occurrence with the sequence it lies
// in, its start and strand, and the text it matched, so that a motif can be
// checked against the sequences themselves.
#include <charconv>
#include <cstdio>
#include <string>

#include "alphabet/charset.h"
#include "input/input_classes.h"
#include "input/input_string.h"
#include "results/results.h"
#include "run/globals.h"

namespace {

// Finds where an occurrence of a pattern starts, given the position after
// its last matched character. Sets hold only ends, and with flexible gaps
// the start is not fixed by the length: the pattern is matched backwards,
// each gap taking the shortest length that lets the rest match.
class BackwardMatcher {
 public:
  BackwardMatcher(const CHARSET& charset, const unsigned char* coded, int length)
      : charset_(charset), coded_(coded), length_(length) {}

  // Start of `codes` ending at end - 1, or -1 when it does not match there.
  int start(const std::string& codes, int end) const { return match(codes, codes.size(), end - 1); }

 private:
  // Whether code x (a character or a group) stands at q.
  bool fits(unsigned x, int q) const {
    if (q < 0 || q >= length_) return false;
    const unsigned c = coded_[q];
    if (c == 0) return false;
    if (x <= static_cast<unsigned>(charset_.alphabet_size)) return c == x;
    const unsigned char* row = charset_.members[x];
    for (int k = 1; k <= row[0]; ++k)
      if (row[k] == c) return true;
    return false;
  }
  bool usable(int q) const {
    return q >= 0 && q < length_ && coded_[q] != 0 && charset_.stop_flag[coded_[q]] == 0;
  }
  // Element n - 1 of `codes` ends at q; returns the start of element 0.
  int match(const std::string& codes, std::size_t n, int q) const {
    const unsigned code = static_cast<unsigned char>(codes[n - 1]);
    const bool gap = code > static_cast<unsigned>(charset_.total_codes);
    if (!fits(gap ? (code + 128) % 256 : code, q)) return -1;
    if (n == 1) return q;
    if (!gap) return match(codes, n - 1, q - 1);
    for (int g = 0; g <= max_gap; ++g) {
      if (g > 0 && !usable(q - g)) break;
      if (g < min_gap) continue;
      const int found = match(codes, n - 1, q - 1 - g);
      if (found >= 0) return found;
    }
    return -1;
  }

  const CHARSET& charset_;
  const unsigned char* coded_;
  int length_;
};

}  // namespace

void Results::write_sites(std::FILE* out, const std::vector<double>&) const {
  std::fputs("pattern\tsequence\tfile\tclass\tstart\tstrand\tmatched\n", out);
  const BackwardMatcher matcher(charset_, input_.coded, input_.length);
  const bool both = input_.strands == 2;
  // Hundreds of thousands of lines: built in one buffer and written in
  // large blocks rather than formatted field by field.
  std::string buffer;
  buffer.reserve(1 << 17);
  char number[16];
  for (const PatternRecord& r : rows_) {
    // Without a flexible gap an occurrence spans as many positions as the
    // pattern has codes; only gaps need the backward match.
    bool gapped = false;
    for (char c : r.codes) gapped |= static_cast<unsigned char>(c) > static_cast<unsigned>(charset_.total_codes);
    for (int end : r.ends) {
      const int first = gapped ? matcher.start(r.codes, end) : end - static_cast<int>(r.codes.size());
      if (first < 0) continue;  // cannot happen for a set the search built
      const int k = input_.seq_of_pos[first];
      const int begin = input_.seq_end[k - 1] + 1;
      // With both strands, sequence k is its forward run, a separator and
      // its reverse complement; a site on the reverse run is given in
      // forward coordinates (its leftmost base) with strand '-'.
      const int seq_len = both ? (input_.seq_end[k] - begin - 1) / 2 : input_.seq_end[k] - begin;
      int start = first - begin + 1;
      char strand = '+';
      if (both && first > begin + seq_len) {
        const int offset = first - (begin + seq_len + 1);
        start = seq_len - (offset + (end - first)) + 1;
        strand = '-';
      }
      const int f = input_.seq_file[k];
      buffer += r.text;
      buffer += '\t';
      input_.seq_ids.append_to(buffer, k);
      buffer += '\t';
      buffer += files_[static_cast<std::size_t>(f - 1)];
      buffer += '\t';
      buffer += input_.classes->class_name(input_.class_of_seq[k]);
      buffer += '\t';
      buffer.append(number, std::to_chars(number, number + sizeof number, start).ptr);
      buffer += '\t';
      buffer += strand;
      buffer += '\t';
      for (int p = first; p < end; ++p) buffer += static_cast<char>(charset_.code_to_char[input_.coded[p]]);
      buffer += '\n';
      if (buffer.size() >= (1 << 16)) {
        std::fwrite(buffer.data(), 1, buffer.size(), out);
        buffer.clear();
      }
    }
  }
  std::fwrite(buffer.data(), 1, buffer.size(), out);
}
