#pragma once
// Per-class counts of a node's group children (and of the characters in
// them), gathered while the node's positions are distributed by the code
// that follows them.
//
// A group child's positions are those of its member characters, so its
// sequence and position counts can be taken in the same walk that builds the
// character lists: the walk is in increasing position order, and a position
// lies in the same sequence as the one after it, so a sequence change seen
// per code counts each sequence once. Without this a group child would be
// counted by walking every member's list again, at its creation and again
// when it is reported.
#include <cstdint>
#include <vector>

class CHARSET;

class ChildTally {
 public:
  // Prepares a walk in which the groups first..last are counted, each
  // character that belongs to one of them too. Returns false when no code
  // is counted (the walk then need not look up sequences at all).
  bool prepare(const CHARSET& charset, int nr_classes, int first_group, int last_group);

  // Forgets the last walk: no code is counted.
  void clear() {
    if (!active_) return;
    for (bool& b : counted_) b = false;
    active_ = false;
  }

  // Position p (in sequence s of class c) is followed by code x.
  void add(int x, int s, int c) {
    const std::uint8_t* t = targets_.data();
    const int pos_class = single_class_ ? 1 : c;
    for (int i = begin_[x], e = begin_[x + 1]; i < e; ++i) {
      int* row = counts_.data() + static_cast<std::size_t>(t[i]) * stride_;
      ++row[1 + slots_ + pos_class];
      if (row[0] != s) {
        row[0] = s;
        ++row[1 + c];
      }
    }
  }
  // Whether code x of the last walk has been counted.
  bool counted(int x) const { return counted_[x]; }
  // The counts of code x: sequences in slots 0..K+1, then positions in
  // 0..K+1, slot K+1 the totals; only for a counted code.
  const int* counts(int x);

 private:
  int slots_ = 0;   // classes + 2
  int stride_ = 0;  // last sequence, then the two count rows
  bool single_class_ = false;
  bool active_ = false;
  std::vector<int> counts_;
  std::vector<std::uint8_t> targets_;
  int begin_[258] = {};
  bool counted_[256] = {};
  bool totalled_[256] = {};
};
