// The computing half of an expansion: distribution, counts and the children's
// stored sets, from the node and the input alone.
#include "search/expander.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "alphabet/charset.h"
#include "report/class_counts.h"
#include "run/error.h"
#include "run/globals.h"
#include "run/memory_advice.h"
#include "search/gstree.h"
#include "search/packed_positions.h"
#include "sets/set_walk.h"
#include "search/support_floor.h"
#include "sets/set_registry.h"
#include "sets/sets.h"

namespace {

// Enough placed positions since the start, the last gap or the last wildcard
// run for a wildcard or a gap to follow (see fill_regular_child).
inline bool gap_condition(int gap_count) {
  return gap_count > 0 && gap_count % no_gap_len == 0;
}

// Whether the search queues a child with this count of sequences.
inline bool may_queue(int sequences, int least) { return sequences != 0 && sequences >= least; }

}  // namespace

int* Expansion::add_counts(int stride) {
  stride_ = static_cast<std::size_t>(stride);
  const std::size_t at = children.size() * stride_;
  // Grown in steps, never shrunk: an expansion's room is reused by the next.
  if (counts_.size() < at + stride_) counts_.resize(2 * (at + stride_));
  return counts_.data() + at;
}

void Expansion::clear() {
  for (ExpansionChild& c : children) Sets::del_set(c.set);
  children.clear();
}

Expander::Expander(const SearchInput& input, bool full_size) : in_(input), full_size_(full_size) {
  const CHARSET& charset = *in_.charset;
  const int alphabet_size = charset.alphabet_size;
  code_counts_.assign(charset.total_codes + 1, 0);
  code_positions_.resize(alphabet_size + 1);
  code_positions_[0].assign(2, 0);
  // The separator's list is never filled: no position is ever distributed to it.
  fit_lists(code_positions_, full_size_ ? ChildTally::kNoBound : 0);
  child_tally_.reserve(charset, in_.occurrences);
  if (max_gap_nr != 0) {
    gap_code_counts_.assign(charset.total_codes + 1, 0);
    gap_code_positions_.resize(alphabet_size + 1);
    gap_code_positions_[0].assign(2, 0);
    fit_lists(gap_code_positions_, full_size_ ? ChildTally::kNoBound : 0);
    gap_tally_.reserve(charset, in_.occurrences);
  }
  pos_counts_.assign(in_.nr_classes + 2, 0);
  seq_counts_.assign(in_.nr_classes + 2, 0);
}

void Expander::fit_lists(std::vector<std::vector<int>>& lists, long long bound) {
  for (std::size_t x = 1; x < lists.size(); ++x) {
    const long long room = std::min(in_.occurrences[x], bound) + 2;
    const auto have = static_cast<long long>(lists[x].size());
    if (have < room || worth_shrinking(have, room)) {
      std::vector<int> fresh;
      fresh.reserve(static_cast<std::size_t>(room));
      advise_huge_pages(fresh.data(), fresh.capacity() * sizeof(int));
      fresh.resize(static_cast<std::size_t>(room));
      lists[x].swap(fresh);
    }
    lists[x][0] = 0;
  }
}

void Expander::recover() {
  child_tally_ = ChildTally();
  child_tally_.reserve(*in_.charset, in_.occurrences);
  if (max_gap_nr != 0) {
    gap_tally_ = ChildTally();
    gap_tally_.reserve(*in_.charset, in_.occurrences);
  }
  unpacked_for_ = nullptr;
}

void Expander::start(const STree_Node* root, bool packs_sets, const Sets* sets) {
  in_.root = root;
  in_.packs_sets = packs_sets;
  in_.sets = sets;
  unpacked_for_ = nullptr;
}

int Expander::least_support() const {
  return in_.floor == nullptr ? minstrings : std::max(minstrings, in_.floor->value());
}

int Expander::least_positions() const {
  return in_.floor == nullptr ? minpos : std::max(minpos, in_.floor->value());
}

bool Expander::has_packed_set(const STree_Node* node) const {
  return !is_character_node(node, in_.charset->alphabet_size) || (in_.packs_sets && node != in_.root);
}

const int* Expander::stored_set_of(const STree_Node* node, int& offset) {
  const Set_ID* id = node->set_id;
  if (id == nullptr || id->set == nullptr)
    error("INTERNAL ERROR: a reported or expanded pattern has no position set");
  offset = 0;
  if (!has_packed_set(node)) return id->set;
  // Unpacked once for the report and the expansion that follow each other.
  if (unpacked_for_ != node) {
    unpacked_.resize(static_cast<std::size_t>(packed_positions::size(id->set)) + 1);
    packed_positions::unpack(id->set, unpacked_.data());
    unpacked_for_ = node;
    unpacked_offset_ = packed_positions::offset(id->set);
  }
  offset = unpacked_offset_;
  return unpacked_.data();
}

const int* Expander::set_of(const STree_Node* node) {
  int offset = 0;
  const int* set = stored_set_of(node, offset);
  if (offset != 0) {
    packed_positions::apply_offset(unpacked_.data(), offset, in_.coded, in_.crossable);
    unpacked_offset_ = 0;
  }
  return set;
}

void Expander::count(const int* set, int* pos, int* seq) const {
  ClassLookup lookup;
  lookup.seq_index = in_.seq_index;
  lookup.class_of_seq = in_.class_of_seq;
  lookup.nr_classes = in_.nr_classes;
  lookup.domain = in_.coded_length;
  Count_Nr_of_Classes(lookup, set, pos, seq);
}

inline bool Expander::add_child(Expansion& out, int x, bool gap, ExpansionChild::Kind kind, const int* seq,
                                const int* pos) {
  const int slots = in_.nr_classes + 2;
  int* counts = out.add_counts(2 * slots);
  std::memcpy(counts, seq, sizeof(int) * slots);
  std::memcpy(counts + slots, pos, sizeof(int) * slots);
  const bool queued = may_queue(seq[in_.total_slot], least_support());
  out.children.push_back({static_cast<std::uint8_t>(x), gap, queued, kind, nullptr});
  return queued;
}

void Expander::expand(const STree_Node* node, Expansion& out) {
  out.clear();
  const CHARSET& charset = *in_.charset;
  const int alphabet_size = charset.alphabet_size;
  const int total_codes = charset.total_codes;
  const int nr_classes = in_.nr_classes;
  const int slots = nr_classes + 2;
  const STree_Node* root = in_.root;

  // A wildcard node's set may still need its offset: the distribution
  // applies it on its way (the codes it reads lie beside those it reads
  // anyway); the gap pass wants the set itself.
  int moved = 0;
  const int* set = stored_set_of(node, moved);
  if (moved != 0 && (max_gap_nr != 0 || node->set_id->counts == nullptr)) {
    set = set_of(node);
    moved = 0;
  }
  // Every node the search expands had its counts kept when it was made (the
  // root when the search began); they are counted here only if not.
  const int* seq_of_node = node->set_id->counts;
  if (seq_of_node == nullptr) {
    count(set, pos_counts_.data(), seq_counts_.data());
    seq_of_node = seq_counts_.data();
  }
  const int* pos_of_node = seq_of_node + slots;
  const int P = pos_of_node[in_.total_slot];
  const int S = seq_of_node[in_.total_slot];
  if (P < minpos) return;
  const int least = least_support();
  if (least != 0 && S < least) return;
  if (minstrings != 0 && seq_of_node[minclass] < minstringsinclass) return;
  if (P == 1 && !(onepos && onestr)) return;
  if (S == 1 && !onestr) return;

  const int G = node->nr_groups;
  const int W = node->wc_left;
  const bool groups_here = !(G >= maxgrp && W == 0);
  const int first = G < maxgrp ? alphabet_size + 1 : total_codes;
  int last = total_codes;
  if (nr_wc_allowed != 0 && !(W != 0 && gap_condition(node->gap_count))) last = total_codes - 1;
  child_tally_.clear();
  gap_tally_.clear();
  // No child list holds more positions than the node. The root's lists
  // were made with the expander; a node after it needs a part of them.
  const bool whole = full_size_ && node == root;
  if (!whole) fit_lists(code_positions_, P);
  const long long bound = whole ? ChildTally::kNoBound : P;
  if (worth_shrinking(static_cast<long long>(pack_scratch_.size()), 5LL * P + 64)) {
    pack_scratch_.clear();
    pack_scratch_.shrink_to_fit();
  }
  // The wildcard child takes over this node's packed set (moved one place
  // on) once the node is unpacked, so its own list need not be gathered;
  // the root has no wildcard child, so its list (as long as the whole
  // string) is never made at all.
  const bool wildcard_here = nr_wc_allowed != 0 && last == total_codes;
  const int moved_wildcard = wildcard_here && in_.packs_sets && node != root ? total_codes : 0;
  const int unlisted = wildcard_here && node == root ? total_codes : moved_wildcard;
  const bool tally = groups_here && first <= last &&
                     child_tally_.prepare(charset, nr_classes, first, last, unlisted, bound);

  // The lists' count words are set by the distribution below; only the
  // candidate counts need clearing here.
  std::fill(code_counts_.begin(), code_counts_.end(), 0);
  {
    // One pass distributes the positions by the code that follows them; a
    // list holds the positions after the code, which make the child's set.
    // The write cursor of each list lives in a local table, away from the
    // lists' own count words, which are set once at the end.
    int* lists[128];
    int ends[128];
    for (int x = 0; x <= alphabet_size; ++x) {
      lists[x] = code_positions_[x].data();
      ends[x] = 0;
    }
    const unsigned char* coded = in_.coded;
    const bool* crossable = in_.crossable;
    // The position the set stands for, or -1 when a moved one is dropped.
    auto moved_on = [&](int q) __attribute__((always_inline)) {
      return packed_positions::moved_position(q, moved, coded, crossable);
    };
    if (tally) {
      SequenceCursor seq(*in_.seq_index, in_.class_of_seq);
      ChildTally& t = child_tally_;
      const SequenceIndex& index = *in_.seq_index;
      // One walk for sparse sets and one for dense ones (see SequenceCursor):
      // a test of which inside the walk costs the sparse one a third.
      auto walk = [&](auto sparse) {
        // Inlined by force: as a call per element, the body reloads everything
        // it captures and the walk costs a tenth more.
        auto visit = [&](int q) __attribute__((always_inline)) {
          const int p = moved == 0 ? q : moved_on(q);
          if (p < 0) return;
          const unsigned x = coded[p];
          if (!crossable[x]) return;
          lists[x][++ends[x]] = p + 1;
          if (decltype(sparse)::value)
            seq.locate(p);
          else
            seq.advance(p);
          t.add(static_cast<int>(x), seq.seq, seq.cls, p + 1);
        };
        for_each_element_requesting(set, in_.coded_length, visit, [&](int q) {
          __builtin_prefetch(coded + q);
          index.prefetch(q);
        });
      };
      if (sparse_in_sequences(set_size(set), index))
        walk(std::true_type());
      else
        walk(std::false_type());
    } else {
      auto visit = [&](int q) {
        const int p = moved == 0 ? q : moved_on(q);
        if (p < 0) return;
        const unsigned x = coded[p];
        if (!crossable[x]) return;
        lists[x][++ends[x]] = p + 1;
      };
      for_each_element_prefetching(set, in_.coded_length, visit, coded);
    }
    for (int x = 0; x <= alphabet_size; ++x) lists[x][0] = ends[x];
  }
  int* counts = code_counts_.data();
  for (int x = 0; x <= alphabet_size; ++x) counts[x] = code_positions_[x][0];

  if (!groups_here) {
    for (int x = 1; x <= alphabet_size; ++x)
      if (counts[x] < least_positions()) counts[x] = 0;
  } else {
    for (int e = alphabet_size + 1; e <= total_codes; ++e) counts[e] = 0;
    sum_group_counts(charset, counts, first, last, least_positions());
    if (node == root) {
      counts[charset.wildcard_code] = 0;
      if (nr_wc_allowed != 0) counts[total_codes] = 0;
    }
    prune_rare_characters(charset, counts, least_positions());
  }

  bool gap_children = false;
  // A negative gap number allows no gap (with a negative initial count the
  // division below would, and such gap children could not even be printed).
  if (max_gap_nr > 0 && gap_condition(node->gap_count) &&
      (node->gap_count - 1) / no_gap_len < max_gap_nr && node != root) {
    gather_gap_children(node, set, P);
    gap_children = true;
  }

  // Characters first, then groups, in increasing code: the order in which
  // the registry counts the characters' sets and the search queues children.
  auto add_children = [&](const int* candidate, std::vector<std::vector<int>>& positions,
                          ChildTally& tally, bool gap) {
    for (int x = 1; x <= total_codes; ++x) {
      if (candidate[x] <= 0) continue;
      if (x <= alphabet_size) {
        const int* list = positions[x].data();
        const int* seq = nullptr;
        if (tally.counted(x)) {
          seq = tally.counts(x);
        } else {
          count(list, pos_counts_.data(), seq_counts_.data());
          seq = seq_counts_.data();
        }
        const int* pos = seq == seq_counts_.data() ? pos_counts_.data() : seq + slots;
        // Without duplicate detection a child that the search will not
        // queue is never read again (group siblings keep sets of their
        // own): its set need not be stored.
        const bool queued = add_child(out, x, gap, ExpansionChild::Kind::Character, seq, pos);
        if (abandonequal == 0 && !queued) continue;
        out.children.back().set = abandonequal != 0 ? in_.sets->min_copy(list)
                                  : in_.packs_sets  ? packed_positions::pack(list, pack_scratch_)
                                                    : in_.sets->min_copy(list);
      } else {
        const int* seq = tally.counts(x);
        const bool takes_over = !gap && x == moved_wildcard;
        const bool queued =
            add_child(out, x, gap, takes_over ? ExpansionChild::Kind::TakeOver : ExpansionChild::Kind::Group,
                      seq, seq + slots);
        // A group child that may be queued keeps its set, packed; the
        // wildcard child that takes over the node's set needs none of its own.
        if (queued && !takes_over) out.children.back().set = packed_positions::pack(tally.list(x), pack_scratch_);
      }
    }
  };
  add_children(counts, code_positions_, child_tally_, false);
  if (gap_children) add_children(gap_code_counts_.data(), gap_code_positions_, gap_tally_, true);
}

void Expander::gather_gap_children(const STree_Node* node, const int* set, long long node_size) {
  const CHARSET& charset = *in_.charset;
  const int alphabet_size = charset.alphabet_size;
  const int total_codes = charset.total_codes;
  const unsigned char* coded = in_.coded;
  const int length = in_.coded_length;
  std::fill(gap_code_counts_.begin(), gap_code_counts_.end(), 0);
  // Each position of the node starts at most max_gap - min_gap + 1 gap children's positions.
  const long long bound = full_size_ ? ChildTally::kNoBound : node_size * (max_gap - min_gap + 1);
  fit_lists(gap_code_positions_, bound);
  // As in the distribution, the write cursors live in a local table and the
  // lists' count words are set once at the end.
  int* lists[128];
  int ends[128];
  for (int x = 0; x <= alphabet_size; ++x) {
    lists[x] = gap_code_positions_[x].data();
    ends[x] = 0;
  }
  // After a gap the group of all characters is an ordinary group.
  const bool groups_here = node->nr_groups < maxgrp;
  const bool tally = groups_here && gap_tally_.prepare(charset, in_.nr_classes, alphabet_size + 1,
                                                       total_codes, 0, bound);
  SequenceCursor seq(*in_.seq_index, in_.class_of_seq);

  // A gap never covers, and a gap child never starts at, a sequence end, a
  // STOP character or a place past the string.
  const bool* crossable = in_.crossable;
  auto usable = [&](long long q) { return q < length && crossable[coded[q]]; };
  // Ranges of neighbouring elements overlap; they are merged into one pending
  // interval so every position is appended once and the lists stay sorted.
  long long lo = -1, hi = -2;
  auto flush = [&]() {
    // A list holds the positions after the code, which make the child's set.
    // Two loops: the plain one keeps its cursors in registers.
    if (tally) {
      for (long long q = lo; q <= hi; ++q) {
        const int x = coded[q];
        lists[x][++ends[x]] = static_cast<int>(q + 1);
        seq.advance(static_cast<int>(q));
        gap_tally_.add(x, seq.seq, seq.cls, static_cast<int>(q + 1));
      }
    } else {
      for (long long q = lo; q <= hi; ++q) {
        const int x = coded[q];
        lists[x][++ends[x]] = static_cast<int>(q + 1);
      }
    }
    lo = -1;
    hi = -2;
  };
  // The codes after each element lie scattered over the string: requested
  // ahead, as in the distribution.
  auto visit = [&](int element) {
    const long long p = element;
    if (p + min_gap > hi) flush();
    long long k;
    if (lo > hi) {
      k = 0;
      while (k < min_gap && usable(p + k)) ++k;
      lo = p + k;
    } else {
      k = hi - p;
    }
    while (k < max_gap && usable(p + k)) ++k;
    hi = p + k;
    if (!usable(hi)) --hi;
  };
  for_each_element_prefetching(set, length, visit, coded);
  flush();
  for (int x = 0; x <= alphabet_size; ++x) lists[x][0] = ends[x];

  int* counts = gap_code_counts_.data();
  for (int x = 1; x <= alphabet_size; ++x) counts[x] = lists[x][0];
  if (groups_here) {
    sum_group_counts(charset, counts, alphabet_size + 1, total_codes, least_positions());
    prune_rare_characters(charset, counts, least_positions());
  } else {
    for (int x = 1; x <= alphabet_size; ++x)
      if (counts[x] < least_positions()) counts[x] = 0;
  }
}
