#include "results/motifs.h"

#include <algorithm>

#include "input/input_string.h"

MotifGrouper::MotifGrouper(const input_string& input, int min_gap, int max_gap)
    : matcher_(input, min_gap, max_gap), head_(static_cast<std::size_t>(input.length) + 1, -1) {}

long MotifGrouper::add(const std::string& codes, const std::vector<int>& class1_ends, bool& leads) {
  spans_.clear();
  for (int end : class1_ends)
    if (matcher_.locate(codes, end, site_)) spans_.emplace_back(site_.first, end - 1);

  // How many of the row's sites each earlier lead overlaps.
  touched_.clear();
  int site = 0;
  for (const auto& span : spans_) {
    ++site;
    for (int p = span.first; p <= span.second; ++p) {
      for (int e = head_[static_cast<std::size_t>(p)]; e >= 0; e = entries_[static_cast<std::size_t>(e)].next) {
        const int lead = entries_[static_cast<std::size_t>(e)].lead;
        if (seen_site_[static_cast<std::size_t>(lead)] == site) continue;
        seen_site_[static_cast<std::size_t>(lead)] = site;
        if (overlaps_[static_cast<std::size_t>(lead)]++ == 0) touched_.push_back(lead);
      }
    }
  }
  int joined = -1;
  for (int lead : touched_) {
    if (2L * overlaps_[static_cast<std::size_t>(lead)] >= static_cast<long>(spans_.size()) &&
        (joined < 0 || lead < joined))
      joined = lead;
  }
  for (int lead : touched_) overlaps_[static_cast<std::size_t>(lead)] = 0, seen_site_[static_cast<std::size_t>(lead)] = 0;
  if (joined >= 0 && !spans_.empty()) {
    leads = false;
    return lead_motif_[static_cast<std::size_t>(joined)];
  }

  // A new lead: its sites go into the index.
  leads = true;
  const int lead = static_cast<int>(lead_motif_.size());
  lead_motif_.push_back(static_cast<long>(lead_motif_.size()) + 1);
  overlaps_.push_back(0);
  seen_site_.push_back(0);
  for (const auto& span : spans_) {
    for (int p = span.first; p <= span.second; ++p) {
      int& head = head_[static_cast<std::size_t>(p)];
      entries_.push_back(Entry{lead, head});
      head = static_cast<int>(entries_.size()) - 1;
    }
  }
  return lead_motif_.back();
}
