#pragma once
#include <string>
#include <vector>

#include "results/site_matcher.h"

class input_string;
struct PatternRecord;

// Position frequency matrices of a row's sites: what a motif looks like in
// the sequences, not only what its pattern says. A wildcard column counts
// the letters the sites hold there; `flank` columns on each side count the
// letters next to the sites. A flexible gap has no fixed column, so a
// pattern with gaps is cut at each gap into gapless segments, each its own
// matrix, and the gap lengths the sites show are kept with the segment
// after the gap. The flanks belong to the pattern's two ends: the first
// segment has the left flank, the last one the right flank.
struct MatrixSegment {
  int first_element = 0;  // the pattern element its first core column holds
  int elements = 0;       // core columns, one per pattern element
  int left = 0, right = 0;  // flank columns before and after the core
  // Per site, the gap before this segment: gaps[g] sites had length g
  // (empty for the first segment).
  std::vector<long> gaps;
  // Column c (0 .. width - 1, flank columns included), letter code x
  // (1 .. alphabet size) at c * stride + x; slot 0 of each column unused.
  std::vector<long> counts;

  int width() const { return left + elements + right; }
  bool is_flank(int column) const { return column < left || column >= left + elements; }
};

struct SiteMatrix {
  int stride = 0;   // alphabet size + 1
  long sites = 0;   // the sites counted (every core column counts each once)
  std::vector<MatrixSegment> segments;

  long count(const MatrixSegment& s, int column, int code) const {
    return s.counts[static_cast<std::size_t>(column) * static_cast<std::size_t>(stride) +
                    static_cast<std::size_t>(code)];
  }
};

// Builds the matrices of rows from their occurrences (`ends`). STOP
// characters are never counted: they stand for unknown residues. A flank
// ends at the end of its sequence (on the reverse strand, of the reverse
// complement the site lies in).
class SiteMatrixBuilder {
 public:
  SiteMatrixBuilder(const input_string& input, int min_gap, int max_gap, int flank);

  // The matrices of the class-1 sites of `record`, from the class-1
  // occurrences every row that may be written keeps (`class1_ends`), so
  // that a sink of matrices needs no row's full set of occurrences.
  void build_class1(const PatternRecord& record, SiteMatrix& matrix);
  // The matrices of the sites of `record` in sequences of class `class_nr`,
  // from all its occurrences (`ends`, kept for the rows a sink asked the
  // sites of).
  void build(const PatternRecord& record, int class_nr, SiteMatrix& matrix);

 private:
  void start(const std::string& codes, SiteMatrix& matrix);
  void add_sites(const std::string& codes, const std::vector<int>& ends, int class_nr, SiteMatrix& matrix);
  void add_site(SiteMatrix& matrix);

  const input_string& input_;
  SiteMatcher matcher_;
  int flank_;
  Site site_;
  std::vector<int> class1_;  // the class-1 occurrences, unpacked
};
