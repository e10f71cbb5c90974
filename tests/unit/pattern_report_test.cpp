// The report judges a pattern from what the search hands it: no trie needed.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "input/input_string.h"
#include "input_test_files.h"
#include "report/class_counts.h"
#include "report/pattern_output.h"
#include "run/globals.h"
#include "sets/sets.h"

namespace {

struct Joined {
  ScratchDir dir;
  std::unique_ptr<input_string> input;

  explicit Joined(const std::string& lines) : input(quiet_acgt_input(dir, lines)) {}

  ClassLookup lookup() const {
    ClassLookup l;
    l.seq_index = &input->seq_index;
    l.class_of_seq = input->class_of_seq.data();
    l.nr_classes = input->classes->nr_classes;
    l.domain = input->length;
    return l;
  }
};

// A pattern with the given totals over one class, whose set counts the
// times the report asks for it.
struct Offered {
  std::vector<int> seqs, positions;
  std::vector<int> set{0};
  int fetched = 0;
  FoundPattern found;

  Offered(int sequences, int occurrences, int gap_count) : seqs{0, sequences, sequences}, positions{0, occurrences, occurrences} {
    found.codes = "\x01";
    found.level = 1;
    found.gap_count = gap_count;
    found.seqs = seqs.data();
    found.positions = positions.data();
    found.set.owner = this;
    found.set.fetch = [](void* owner, const void*) {
      auto* self = static_cast<Offered*>(owner);
      ++self->fetched;
      return static_cast<const int*>(self->set.data());
    };
  }
};

TEST(PatternReport, LimitsAreJudgedOnTheHandedCountsAtTheirBounds) {
  Joined j("ACGT\nGG\nAAA\n");
  Sets sets(j.input->length);
  PatternReport report(*j.input, sets, nullptr);
  minpos = 4;
  maxstrings = 2;
  EXPECT_EQ(report.Print_Pattern(Offered(2, 4, 1).found), 1);
  EXPECT_EQ(report.Print_Pattern(Offered(2, 3, 1).found), 0);  // one position short
  EXPECT_EQ(report.Print_Pattern(Offered(3, 5, 1).found), 0);  // one sequence over
  maxpos = 4;
  EXPECT_EQ(report.Print_Pattern(Offered(2, 5, 1).found), 0);

  // The class minimum is tested only along with -minstrings.
  reset_settings();
  minclass = 1;
  minstringsinclass = 3;
  EXPECT_EQ(report.Print_Pattern(Offered(2, 2, 1).found), 1);
  minstrings = 1;
  EXPECT_EQ(report.Print_Pattern(Offered(2, 2, 1).found), 0);
  EXPECT_EQ(report.Print_Pattern(Offered(3, 3, 1).found), 1);
}

TEST(PatternReport, OnlyAtAllowedGapDistancesAndWithoutFetchingTheSet) {
  Joined j("ACGT\n");
  Sets sets(j.input->length);
  PatternReport report(*j.input, sets, nullptr);
  only_print_if_gap_allowed = 1;
  no_gap_len = 3;
  for (int gaps : {0, 4, 3, 6}) {
    Offered offered(1, 1, gaps);
    EXPECT_EQ(report.Print_Pattern(offered.found), gaps % 3 == 0 && gaps != 0 ? 1 : 0) << gaps;
    // Nothing but the counts decides here: a packed set is never unpacked.
    EXPECT_EQ(offered.fetched, 0);
  }
}

TEST(ClassCounts, SparseAndDenseWalksCountAlike) {
  // Two sequences, of classes x and y: 1..18 with its separator at 19, then
  // 20..23 with its separator at 24.
  Joined j("ACGTACGTACGTACGTAC x\nGGGG y\n");
  const ClassLookup lookup = j.lookup();
  // Under eight positions a sequence, each position's sequence is looked up;
  // from eight on the walk follows the sequence ends. Both as lists and as
  // bit arrays, separators included.
  Sets sets(j.input->length);
  std::vector<int> dense{0};
  for (int p = 3; p <= 24; p += p == 12 ? 7 : 1) dense.push_back(p);
  dense[0] = static_cast<int>(dense.size()) - 1;  // 16: eight a sequence
  struct Case {
    std::vector<int> list, pos;
  };
  for (const Case& c : {Case{{3, 1, 19, 20}, {0, 2, 1, 3}}, Case{dense, {0, 11, 5, 16}}}) {
    const std::vector<int>& list = c.list;
    int* bits = sets.Make_BA_from_L(list.data());
    std::vector<int> pos(4), seq(4), bit_pos(4), bit_seq(4);
    const int sequences = Count_Nr_of_Classes(lookup, list.data(), pos.data(), seq.data());
    EXPECT_EQ(Count_Nr_of_Classes(lookup, bits, bit_pos.data(), bit_seq.data()), sequences);
    EXPECT_EQ(pos, bit_pos);
    EXPECT_EQ(seq, bit_seq);
    EXPECT_EQ(pos, c.pos);
    EXPECT_EQ(seq, (std::vector<int>{0, 1, 1, 2}));
    EXPECT_EQ(sequences, 2);
    Sets::del_set(bits);
  }
}

}  // namespace
