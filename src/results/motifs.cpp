#include "results/motifs.h"

#include <algorithm>

#include "input/input_string.h"

MotifGrouper::MotifGrouper(const input_string& input, int min_gap, int max_gap)
    : matcher_(input, min_gap, max_gap),
      block_of_((static_cast<std::size_t>(input.length) >> kBlockShift) + 1, 0),
      blocks_(1) {}

const std::vector<MotifGrouper::LeadSite>& MotifGrouper::block(int b) const {
  return blocks_[block_of_[static_cast<std::size_t>(b)]];
}

// Counts, per earlier lead, the row's sites it overlaps, and returns the
// first lead that overlaps `need` of them, or -1. A lead that overlaps
// `need` of n sites overlaps one of any n - need + 1 of them, so the leads
// met by the first n - need + 1 sites (found through the position index)
// are all the candidates; the rest of the sites are only tested against
// the candidates that can still be the answer, through their own sites,
// and the count stops when none is left.
int MotifGrouper::count_overlaps(int need) {
  touched_.clear();
  const int n = static_cast<int>(spans_.size());
  const int first_part = n - need + 1;
  int answer = -1;
  int site = 0;
  for (; site < first_part; ++site) {
    const auto& span = spans_[static_cast<std::size_t>(site)];
    const int lo = std::max(0, span.first - longest_ + 1);
    for (int block = lo >> kBlockShift; block <= span.second >> kBlockShift; ++block) {
      for (const LeadSite& s : this->block(block)) {
        if (s.first < lo || s.first > span.second || s.last < span.first) continue;
        const auto lead = static_cast<std::size_t>(s.lead);
        if (seen_site_[lead] == site + 1) continue;
        seen_site_[lead] = site + 1;
        if (overlaps_[lead]++ == 0) touched_.push_back(s.lead);
        if (overlaps_[lead] >= need && (answer < 0 || s.lead < answer)) answer = s.lead;
      }
    }
  }
  auto can_answer = [&](int lead, int left) {
    return (answer < 0 || lead < answer) && overlaps_[static_cast<std::size_t>(lead)] + left >= need;
  };
  open_.clear();
  for (int lead : touched_)
    if (can_answer(lead, n - site)) open_.push_back(lead);
  for (; site < n && !open_.empty(); ++site) {
    const auto& span = spans_[static_cast<std::size_t>(site)];
    auto count = [&](int lead) {
      if (++overlaps_[static_cast<std::size_t>(lead)] >= need && (answer < 0 || lead < answer)) answer = lead;
    };
    if (open_.size() <= kFewOpen) {
      for (int lead : open_)
        if (lead_overlaps(lead, span)) count(lead);
    } else {
      // Many candidates: one scan of the index serves them all.
      for (int lead : open_) is_open_[static_cast<std::size_t>(lead)] = 1;
      const int lo = std::max(0, span.first - longest_ + 1);
      for (int block = lo >> kBlockShift; block <= span.second >> kBlockShift; ++block) {
        for (const LeadSite& s : this->block(block)) {
          if (s.first < lo || s.first > span.second || s.last < span.first) continue;
          const auto lead = static_cast<std::size_t>(s.lead);
          if (is_open_[lead] == 0 || seen_site_[lead] == site + 1) continue;
          seen_site_[lead] = site + 1;
          count(s.lead);
        }
      }
      for (int lead : open_) is_open_[static_cast<std::size_t>(lead)] = 0;
    }
    const int left = n - site - 1;
    open_.erase(std::remove_if(open_.begin(), open_.end(), [&](int lead) { return !can_answer(lead, left); }),
                open_.end());
  }
  for (int lead : touched_) overlaps_[static_cast<std::size_t>(lead)] = 0, seen_site_[static_cast<std::size_t>(lead)] = 0;
  return answer;
}

bool MotifGrouper::lead_overlaps(int lead, const std::pair<int, int>& span) const {
  const auto& sites = lead_sites_[static_cast<std::size_t>(lead)];
  // The first site that ends at or after the span's start; a longer one
  // after it may still start within the span.
  auto it = std::lower_bound(sites.begin(), sites.end(), span.first,
                             [](const std::pair<int, int>& s, int at) { return s.second < at; });
  const int reach = span.second + lead_longest_[static_cast<std::size_t>(lead)] - 1;
  for (; it != sites.end() && it->second <= reach; ++it)
    if (it->first <= span.second) return true;
  return false;
}

void MotifGrouper::index_sites(int lead) {
  lead_sites_.push_back(spans_);
  int longest = 1;
  for (const auto& span : spans_) {
    longest = std::max(longest, span.second - span.first + 1);
    std::uint32_t& slot = block_of_[static_cast<std::size_t>(span.first >> kBlockShift)];
    if (slot == 0) {
      slot = static_cast<std::uint32_t>(blocks_.size());
      blocks_.emplace_back();
    }
    blocks_[slot].push_back(LeadSite{span.first, span.second, lead});
  }
  lead_longest_.push_back(longest);
  longest_ = std::max(longest_, longest);
}

long MotifGrouper::add(const std::string& codes, const PackedEnds& class1_ends, bool& leads) {
  spans_.clear();
  class1_ends.for_each([&](int end) {
    if (matcher_.locate(codes, end, site_)) spans_.emplace_back(site_.first, end - 1);
  });
  if (!spans_.empty()) {
    const int need = (static_cast<int>(spans_.size()) + 1) / 2;
    const int joined = count_overlaps(need);
    if (joined >= 0) {
      leads = false;
      return lead_motif_[static_cast<std::size_t>(joined)];
    }
  }
  // A new lead: its sites go into the index.
  leads = true;
  const int lead = static_cast<int>(lead_motif_.size());
  lead_motif_.push_back(static_cast<long>(lead_motif_.size()) + 1);
  overlaps_.push_back(0);
  seen_site_.push_back(0);
  is_open_.push_back(0);
  index_sites(lead);
  return lead_motif_.back();
}
