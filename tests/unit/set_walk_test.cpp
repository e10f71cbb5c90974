// The sequence index and the cursor that counting walks use instead of the
// per-position table: both must name the sequence that table names.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "sets/set_walk.h"

namespace {

// A joined string's tables for sequences of the given lengths: position 0
// the leading separator, each sequence followed by its separator.
struct Joined {
  std::vector<std::uint16_t> seq_of_pos;
  std::vector<int> seq_end;
  int length = 1;

  explicit Joined(const std::vector<int>& lengths) : seq_of_pos(1, 0), seq_end(1, 0) {
    for (std::size_t k = 0; k < lengths.size(); ++k) {
      for (int i = 0; i <= lengths[k]; ++i) seq_of_pos.push_back(static_cast<std::uint16_t>(k + 1));
      length += lengths[k] + 1;
      seq_end.push_back(length - 1);
    }
    seq_of_pos.resize(static_cast<std::size_t>(length) + 2, 0);
  }
  int nr_sequences() const { return static_cast<int>(seq_end.size()) - 1; }
};

TEST(SequenceIndex, NamesTheSequenceOfEveryPosition) {
  // Empty and one-residue sequences, several in one block, sequences ending
  // on and beside a block border, and ones spanning several blocks.
  std::vector<int> lengths = {0, 1, 0, 5, 120, 126, 127, 128, 300, 1, 1, 1, 700, 0};
  std::mt19937 random(5);
  for (int i = 0; i < 400; ++i) lengths.push_back(static_cast<int>(random() % 600));
  const Joined joined(lengths);
  const SequenceIndex index(joined.seq_end.data(),
                            joined.nr_sequences(), joined.length);
  std::vector<unsigned char> class_of_seq(lengths.size() + 1);
  for (std::size_t s = 0; s < class_of_seq.size(); ++s) class_of_seq[s] = static_cast<unsigned char>(s % 3);
  // The lookup without a branch for sparse sets, where blocks hold several
  // sequence ends (beyond its two steps) as well as none.
  SequenceCursor sparse(index, class_of_seq.data());
  for (int p = 0; p < joined.length; ++p) {
    ASSERT_EQ(index.seq_of(p), joined.seq_of_pos[p]) << "position " << p;
    ASSERT_EQ(index.end_of(index.seq_of(p)), joined.seq_end[joined.seq_of_pos[p]]);
    sparse.locate(p);
    ASSERT_EQ(sparse.seq, joined.seq_of_pos[p]) << "position " << p;
    ASSERT_EQ(sparse.cls, class_of_seq[sparse.seq]);
  }
}

TEST(SequenceCursor, MovesOnlyWhenAPositionLeavesTheSequenceAndTakesItsClass) {
  const Joined joined({3, 200, 0, 2});
  const SequenceIndex index(joined.seq_end.data(), 4, joined.length);
  const std::vector<unsigned char> class_of_seq = {0, 2, 1, 2, 1, 0};
  SequenceCursor cursor(index, class_of_seq.data());
  // Sequence 1 is 1..4, sequence 2 is 5..205, 3 is 206, 4 is 207..209.
  struct Visit {
    int p;
    bool moves;
    int seq, cls;
  };
  const std::vector<Visit> visits = {{1, true, 1, 2},   {3, false, 1, 2}, {4, false, 1, 2},
                                     {5, true, 2, 1},   {204, false, 2, 1}, {206, true, 3, 2},
                                     {208, true, 4, 1}, {209, false, 4, 1}};
  for (const Visit& v : visits) {
    EXPECT_EQ(cursor.advance(v.p), v.moves) << "position " << v.p;
    EXPECT_EQ(cursor.seq, v.seq);
    EXPECT_EQ(cursor.cls, v.cls);
  }
}

}  // namespace
