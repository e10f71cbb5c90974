#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "results/packed_ends.h"
#include "results/site_matcher.h"

class input_string;

// Rows that hit the same sites are one motif. Rows come in rank order; a
// row's class-1 sites are its occurrences in class-1 sequences, each the
// span from its first to its last matched position. A row joins the motif
// of the first earlier lead row whose sites overlap (by a position at
// least; positions of the joined input, so the same sequence and strand) at
// least half of its own sites; otherwise it leads a new motif, numbered 1,
// 2, ... in rank order. A row without class-1 sites leads its own.
class MotifGrouper {
 public:
  MotifGrouper(const input_string& input, int min_gap, int max_gap);

  // The motif of the next row, given its codes and its class-1 ends (as a
  // PatternRecord packs them); `leads` says whether it starts a new one.
  long add(const std::string& codes, const PackedEnds& class1_ends, bool& leads);
  long motifs() const { return static_cast<long>(lead_motif_.size()); }

 private:
  // The leads' sites, kept by the block of positions they start in, so
  // that the sites overlapping a span are a short contiguous scan: a span
  // [a, b] meets the sites that start from a - longest + 1 up to b.
  static constexpr int kBlockShift = 2;
  struct LeadSite {
    int first, last, lead;
  };
  int count_overlaps(int need);
  bool lead_overlaps(int lead, const std::pair<int, int>& span) const;
  void index_sites(int lead);

  SiteMatcher matcher_;
  Site site_;
  std::vector<std::pair<int, int>> spans_;  // the row's sites, first .. last
  // Per block of positions, its sites in blocks_ (0: none, an empty entry),
  // so that an input of millions of positions costs 4 bytes a block.
  std::vector<std::uint32_t> block_of_;
  std::vector<std::vector<LeadSite>> blocks_;
  const std::vector<LeadSite>& block(int b) const;
  // Per lead, its sites in the order of their last positions, and the longest.
  std::vector<std::vector<std::pair<int, int>>> lead_sites_;
  std::vector<int> lead_longest_;
  std::vector<int> open_;  // leads that can still be the answer
  std::vector<char> is_open_;
  // Up to so many candidates are tested one by one, more through the index.
  static constexpr std::size_t kFewOpen = 8;
  int longest_ = 1;                // the longest lead site so far
  std::vector<long> lead_motif_;   // per lead (0..), its motif number
  std::vector<int> overlaps_;      // per lead, the row's sites it overlaps
  std::vector<int> seen_site_;     // per lead, the last site that counted it
  std::vector<int> touched_;       // leads counted for this row
};
