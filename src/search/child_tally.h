#pragma once
// The group children of a node (and the wildcard child, the group of all
// characters), gathered while the node's positions are distributed by the
// code that follows them: their position lists and their per-class counts,
// and the counts of the characters that belong to them.
//
// A group child's positions are those of its member characters, so they are
// appended to the group's list in the same walk that builds the character
// lists, in increasing order, without merging the members' lists afterwards.
// A position lies in the same sequence as the one after it, so a sequence
// change seen per code counts each sequence once.
#include <cstdint>
#include <memory>
#include <vector>

class CHARSET;

// Whether a scratch list of `have` entries should give its room back when
// the walk at hand needs `need`: the lists a large node needed (the root's
// are as long as the input) would otherwise stay for the whole run, beside
// the queue's sets, while the nodes expanded later need a fraction of them.
// Only large lists, and only four times too large, so that nodes of one
// level, whose sizes differ by less, do not make them shrink and grow in turn.
inline bool worth_shrinking(long long have, long long need) {
  return have >= (4LL << 20) && have / 4 > need;
}

class ChildTally {
 public:
  // Room for the lists: occurrences[x] is the number of positions holding
  // code x in the whole string, so a group's list never holds more than its
  // members' occurrences together.
  void reserve(const CHARSET& charset, const long long* occurrences);

  // Prepares a walk in which the groups first..last are gathered, each
  // character that belongs to one of them counted too. Group `unlisted` (0
  // for none) is counted but gets no list: its set is made another way.
  // Returns false when nothing is gathered (the walk then need not look up
  // sequences at all). No list will hold more than `bound` positions: a
  // list's room is the smaller of that and its members' occurrences.
  bool prepare(const CHARSET& charset, int nr_classes, int first_group, int last_group,
               int unlisted = 0, long long bound = kNoBound);
  static constexpr long long kNoBound = 1LL << 62;
  // Forgets the last walk: no code is counted.
  void clear() {
    if (!active_) return;
    for (int x : gathered_) counted_[x] = false;
    active_ = false;
  }

  // Position p (in sequence s of class c) is followed by code x; `next` is
  // the position after the code, the element of the child's set.
  void add(int x, int s, int c, int next) {
    const int b = begin_[x], e = begin_[x + 1];
    if (b == e) return;
    bump(x, s, c);
    for (int i = b; i < e; ++i) bump(targets_[i], s, c);
    for (int i = b, listed = listed_end_[x]; i < listed; ++i) {
      int* list = lists_[targets_[i]].get();
      list[++list[0]] = next;
    }
  }
  // Whether code x of the last walk has been counted.
  bool counted(int x) const { return counted_[x]; }
  // The counts of code x: sequences in slots 0..K+1, then positions in
  // 0..K+1, slot K+1 the totals; only for a counted code.
  int* counts(int x);
  // The position list of group g (count word first); only for a gathered,
  // listed group.
  int* list(int g) { return lists_[g].get(); }

 private:
  void bump(int x, int s, int c) {
    int* row = counts_.data() + static_cast<std::size_t>(x) * stride_;
    ++row[1 + slots_ + (single_class_ ? 1 : c)];
    // Without a branch: whether a code was met in the sequence before is
    // as good as random in a scattered set, and a mispredicted branch costs
    // more than the store.
    row[1 + c] += row[0] != s;
    row[0] = s;
  }

  int slots_ = 0;   // classes + 2
  int stride_ = 0;  // last sequence, then the two count rows
  bool single_class_ = false;
  bool active_ = false;
  std::vector<int> counts_;
  std::vector<std::uint8_t> targets_;  // per character, the gathered groups holding it
  std::vector<int> gathered_;          // every code the window counts
  int window_first_ = -1;
  int window_last_ = -1;
  int window_unlisted_ = 0;
  // Per character, its targets begin_[x]..begin_[x+1]-1, of which those
  // before listed_end_[x] get the position in their list.
  int begin_[258] = {};
  int listed_end_[258] = {};
  bool counted_[256] = {};
  bool totalled_[256] = {};
  long long capacity_[256] = {};
  long long allocated_[256] = {};
  std::unique_ptr<int[]> lists_[256];
};
