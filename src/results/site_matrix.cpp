#include "results/site_matrix.h"

#include "alphabet/charset.h"
#include "input/input_string.h"
#include "results/pattern_record.h"

SiteMatrixBuilder::SiteMatrixBuilder(const input_string& input, int min_gap, int max_gap, int flank)
    : input_(input), matcher_(input, min_gap, max_gap), flank_(flank) {}

void SiteMatrixBuilder::build_class1(const PatternRecord& record, SiteMatrix& matrix) {
  class1_.clear();
  record.class1_ends.for_each([this](int end) { class1_.push_back(end); });
  start(record.codes, matrix);
  add_sites(record.codes, class1_, 1, matrix);
}

void SiteMatrixBuilder::build(const PatternRecord& record, int class_nr, SiteMatrix& matrix) {
  start(record.codes, matrix);
  add_sites(record.codes, record.ends, class_nr, matrix);
}

// Empty matrices for `codes`: a segment from the first element and at each
// flexible gap.
void SiteMatrixBuilder::start(const std::string& codes, SiteMatrix& matrix) {
  const CHARSET& charset = *input_.charset;
  matrix.stride = charset.alphabet_size + 1;
  matrix.sites = 0;
  matrix.segments.clear();
  for (std::size_t i = 0; i < codes.size(); ++i) {
    if (i == 0 || charset.decode(static_cast<unsigned char>(codes[i])).after_gap) {
      matrix.segments.emplace_back();
      matrix.segments.back().first_element = static_cast<int>(i);
    }
    ++matrix.segments.back().elements;
  }
  if (matrix.segments.empty()) return;
  matrix.segments.front().left = flank_;
  matrix.segments.back().right = flank_;
  for (MatrixSegment& s : matrix.segments)
    s.counts.assign(static_cast<std::size_t>(s.width()) * static_cast<std::size_t>(matrix.stride), 0);
}

void SiteMatrixBuilder::add_sites(const std::string& codes, const std::vector<int>& ends, int class_nr,
                                  SiteMatrix& matrix) {
  if (matrix.segments.empty()) return;
  for (int end : ends) {
    if (!matcher_.locate(codes, end, site_)) continue;  // cannot happen for a set the search built
    if (input_.class_of_seq[static_cast<std::size_t>(site_.sequence)] != class_nr) continue;
    add_site(matrix);
  }
}

void SiteMatrixBuilder::add_site(SiteMatrix& matrix) {
  const CHARSET& charset = *input_.charset;
  const unsigned char* coded = input_.coded;
  const int stride = matrix.stride;
  // A letter of the alphabet that is not a STOP character, or 0.
  auto letter = [&](int q) -> int {
    if (q < 0 || q >= input_.length) return 0;
    const unsigned c = coded[q];
    if (c == 0 || c > static_cast<unsigned>(charset.alphabet_size) || charset.stop_flag[c] != 0) return 0;
    return static_cast<int>(c);
  };
  auto add = [&](MatrixSegment& s, int column, int q) {
    const int x = letter(q);
    if (x != 0) ++s.counts[static_cast<std::size_t>(column) * static_cast<std::size_t>(stride) + static_cast<std::size_t>(x)];
  };
  ++matrix.sites;
  const std::vector<int>& at = site_.at;
  for (MatrixSegment& s : matrix.segments) {
    const int first = at[static_cast<std::size_t>(s.first_element)];
    for (int e = 0; e < s.elements; ++e) add(s, s.left + e, at[static_cast<std::size_t>(s.first_element + e)]);
    if (s.first_element > 0) {
      const int gap = first - at[static_cast<std::size_t>(s.first_element - 1)] - 1;
      if (gap >= 0) {
        if (s.gaps.size() <= static_cast<std::size_t>(gap)) s.gaps.resize(static_cast<std::size_t>(gap) + 1, 0);
        ++s.gaps[static_cast<std::size_t>(gap)];
      }
    }
    // A flank stops at the separator that ends the sequence (or strand).
    for (int j = 1; j <= s.left; ++j) {
      const int q = first - j;
      if (q < 0 || coded[q] == 0) break;
      add(s, s.left - j, q);
    }
    const int last = at[static_cast<std::size_t>(s.first_element + s.elements - 1)];
    for (int j = 1; j <= s.right; ++j) {
      const int q = last + j;
      if (q >= input_.length || coded[q] == 0) break;
      add(s, s.left + s.elements - 1 + j, q);
    }
  }
}
