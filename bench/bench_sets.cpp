// Position-set hot paths in a domain of 1e7 (a 10-megabase input): walking a
// set, storing it in its preferred representation, and registering it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <type_traits>
#include <vector>

#include "search/packed_positions.h"
#include "sets/set_walk.h"
#include "sets/set_registry.h"
#include "sets/sets.h"

namespace {

constexpr int kDomain = 10000000;

// About n random positions of the domain, sorted, in the list form that the
// search builds in its own buffers.
std::vector<int> random_list(int n, unsigned seed) {
  std::vector<int> list{0};
  if (n >= kDomain) {
    for (int x = 0; x < kDomain; ++x) list.push_back(x);
  } else {
    std::mt19937 rng(seed);
    std::bernoulli_distribution take(static_cast<double>(n) / kDomain);
    for (int x = 0; x < kDomain; ++x) {
      if (take(rng)) list.push_back(x);
    }
  }
  list[0] = static_cast<int>(list.size()) - 1;
  return list;
}

const Sets& domain_sets() {
  static const Sets sets(kDomain);
  return sets;
}

void walk(benchmark::State& state, bool as_bits) {
  const Sets& sets = domain_sets();
  const std::vector<int> list = random_list(static_cast<int>(state.range(0)), 1);
  int* bits = sets.Make_BA_from_L(list.data());
  const int* set = as_bits ? bits : list.data();
  for (auto _ : state) {
    long long sum = 0;
    int cursor = -1;
    for (int x = sets.next(set, cursor); x >= 0; x = sets.next(set, cursor)) sum += x;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * list[0]);
  Sets::del_set(bits);
}

void BM_WalkList(benchmark::State& state) { walk(state, false); }
void BM_WalkBitArray(benchmark::State& state) { walk(state, true); }

// min_copy of a search-built list: a plain copy below D/32 elements, a
// conversion to a bit array from there on.
void BM_MinCopyFromList(benchmark::State& state) {
  const Sets& sets = domain_sets();
  const std::vector<int> list = random_list(static_cast<int>(state.range(0)), 2);
  for (auto _ : state) {
    int* copy = sets.min_copy(list.data());
    benchmark::DoNotOptimize(copy);
    Sets::del_set(copy);
  }
  state.SetItemsProcessed(state.iterations() * list[0]);
}

// min_copy of a bit array: a conversion to a list below D/32 elements.
void BM_MinCopyFromBitArray(benchmark::State& state) {
  const Sets& sets = domain_sets();
  const std::vector<int> list = random_list(static_cast<int>(state.range(0)), 3);
  int* bits = sets.Make_BA_from_L(list.data());
  for (auto _ : state) {
    int* copy = sets.min_copy(bits);
    benchmark::DoNotOptimize(copy);
    Sets::del_set(copy);
  }
  state.SetItemsProcessed(state.iterations() * list[0]);
  Sets::del_set(bits);
}

// One registry per benchmark, alive to the end of the process like the
// search's; its construction line goes into the benchmark output.
Set_of_Sets* new_registry() { return new Set_of_Sets(kDomain, 10); }

// Insert_Set of a set already registered among 15 others of its size: the
// duplicate lookup of the search (copy, compare down the tree, free).
void BM_InsertSetExisting(benchmark::State& state) {
  static Set_of_Sets* registry = new_registry();
  std::vector<int> list = random_list(static_cast<int>(state.range(0)), 4);
  const int n = list[0];
  registry->Delete_all_sets_from_slot(1);
  for (int k = 0; k < 16; ++k) {
    list[static_cast<std::size_t>(n)] = kDomain - 1 - k;  // same size, other last element
    registry->Insert_Set(list.data(), 1);
  }
  list[static_cast<std::size_t>(n)] = kDomain - 1 - 7;
  for (auto _ : state) benchmark::DoNotOptimize(registry->Insert_Set(list.data(), 1));
  state.SetItemsProcessed(state.iterations() * n);
}

// Insert_Set of a new set into an empty slot, then dropping the slot.
void BM_InsertSetNew(benchmark::State& state) {
  static Set_of_Sets* registry = new_registry();
  const std::vector<int> list = random_list(static_cast<int>(state.range(0)), 5);
  for (auto _ : state) {
    benchmark::DoNotOptimize(registry->Insert_Set(list.data(), 2));
    registry->Delete_all_sets_from_slot(2);
  }
  state.SetItemsProcessed(state.iterations() * list[0]);
}

// Packing and unpacking the sets that searches with groups and wildcards
// keep: dense sets take a byte a gap, sparse ones two or three.
void BM_PackList(benchmark::State& state) {
  const std::vector<int> list = random_list(static_cast<int>(state.range(0)), 6);
  std::vector<unsigned char> scratch;
  for (auto _ : state) {
    int* packed = packed_positions::pack(list.data(), scratch);
    benchmark::DoNotOptimize(packed);
    Sets::del_set(packed);
  }
  state.SetItemsProcessed(state.iterations() * list[0]);
}

void BM_UnpackList(benchmark::State& state) {
  const std::vector<int> list = random_list(static_cast<int>(state.range(0)), 7);
  std::vector<unsigned char> scratch;
  int* packed = packed_positions::pack(list.data(), scratch);
  std::vector<int> out(list.size());
  for (auto _ : state) {
    packed_positions::unpack(packed, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * list[0]);
  Sets::del_set(packed);
}

// The least a distribution can cost: the code after each position of a set
// read (asked for ahead, as the search does) and the position appended to
// that code's list, nothing counted. The sets are many and the code string
// as large as a 10-megabase input, so that, as in a search, the codes a walk
// reads are not in the caches from the walk before.
struct ScatteredWalk {
  std::vector<unsigned char> coded;
  std::vector<std::vector<int>> sets;
  std::vector<std::vector<int>> lists;

  explicit ScatteredWalk(int n) : coded(kDomain + 64), lists(21, std::vector<int>(n + 2)) {
    std::mt19937 rng(8);
    for (int p = 0; p < kDomain; ++p) coded[p] = static_cast<unsigned char>(1 + rng() % 20);
    // Sets of n positions each (drawn, sorted, repeats dropped), about 16 M
    // positions in all.
    const int count = std::max(1, (1 << 24) / std::max(n, 1));
    for (int i = 0; i < count; ++i) {
      std::vector<int> set(n + 1);
      for (int k = 1; k <= n; ++k) set[k] = static_cast<int>(rng() % kDomain);
      std::sort(set.begin() + 1, set.end());
      set.erase(std::unique(set.begin() + 1, set.end()), set.end());
      set[0] = static_cast<int>(set.size()) - 1;
      sets.push_back(std::move(set));
    }
  }
};

// Walks one set after the other with `walk(set, codes, lists)`.
template <typename Walk>
void walk_scattered(benchmark::State& state, Walk&& walk) {
  ScatteredWalk w(static_cast<int>(state.range(0)));
  std::size_t next = 0;
  long long items = 0;
  for (auto _ : state) {
    const std::vector<int>& set = w.sets[next++ % w.sets.size()];
    walk(set.data(), w.coded.data(), w.lists);
    items += set[0];
  }
  state.SetItemsProcessed(items);
}

void BM_ScatteredCodeRead(benchmark::State& state) {
  walk_scattered(state, [](const int* set, const unsigned char* coded, auto&) {
    long long sum = 0;
    for_each_element_prefetching(set, kDomain, [&](int p) { sum += coded[p]; }, coded);
    benchmark::DoNotOptimize(sum);
  });
}

void BM_DistributeList(benchmark::State& state) {
  walk_scattered(state, [](const int* set, const unsigned char* coded,
                           std::vector<std::vector<int>>& code_lists) {
    int* lists[21];
    int ends[21] = {};
    for (int x = 0; x < 21; ++x) lists[x] = code_lists[x].data();
    for_each_element_prefetching(
        set, kDomain,
        [&](int p) {
          const unsigned x = coded[p];
          lists[x][++ends[x]] = p + 1;
        },
        coded);
    benchmark::DoNotOptimize(ends);
  });
}

// The distribution with the least counting a child's line needs: each
// position's sequence (from the search's own index, sequences of 50 to 650
// residues as in a protein corpus) and, per code, the sequences holding it,
// once for the code's own child and once for the wildcard child (the group of
// every code) that a wildcard search counts in the same walk. One class: a
// class lookup and per-class rows add to this.
struct ScatteredSequences {
  std::vector<std::uint16_t> seq_of_pos;
  std::vector<int> seq_end;
  std::vector<unsigned char> class_of_seq;
  SequenceIndex index;

  static ScatteredSequences make() {
    std::vector<std::uint16_t> of(kDomain);
    std::vector<int> ends;
    std::mt19937 rng(9);
    int start = 0;
    while (start < kDomain) {
      const int end = std::min(kDomain, start + 50 + static_cast<int>(rng() % 601)) - 1;
      for (int p = start; p <= end; ++p) of[p] = static_cast<std::uint16_t>(ends.size());
      ends.push_back(end);
      start = end + 1;
    }
    return ScatteredSequences(std::move(of), std::move(ends));
  }

 private:
  ScatteredSequences(std::vector<std::uint16_t> of, std::vector<int> ends)
      : seq_of_pos(std::move(of)),
        seq_end(std::move(ends)),
        class_of_seq(seq_end.size(), 1),
        index(seq_end.data(), static_cast<int>(seq_end.size()) - 1, kDomain) {}
};

void BM_DistributeCounted(benchmark::State& state) {
  static const ScatteredSequences sequences = ScatteredSequences::make();
  walk_scattered(state, [](const int* set, const unsigned char* coded,
                           std::vector<std::vector<int>>& code_lists) {
    int* lists[21];
    int ends[21] = {};
    int last[22];
    int counted[22] = {};
    std::fill(last, last + 22, -1);
    for (int x = 0; x < 21; ++x) lists[x] = code_lists[x].data();
    SequenceCursor cursor(sequences.index, sequences.class_of_seq.data());
    // The sequence found as the search finds it: looked up for each position
    // of a sparse set, followed along the sequence ends in a dense one.
    const bool sparse = sparse_in_sequences(set[0], sequences.index);
    auto count = [&](int x) {
      counted[x] += last[x] != cursor.seq;
      last[x] = cursor.seq;
    };
    auto walk = [&](auto sparse_walk) {
      for_each_element_requesting(
          set, kDomain,
          [&](int p) {
            const unsigned x = coded[p];
            lists[x][++ends[x]] = p + 1;
            if (decltype(sparse_walk)::value)
              cursor.locate(p);
            else
              cursor.advance(p);
            count(static_cast<int>(x));
            count(21);
          },
          [&](int q) {
            __builtin_prefetch(coded + q);
            sequences.index.prefetch(q);
          });
    };
    if (sparse)
      walk(std::true_type());
    else
      walk(std::false_type());
    benchmark::DoNotOptimize(ends);
    benchmark::DoNotOptimize(counted);
  });
}

void sizes(benchmark::internal::Benchmark* b) {
  for (int n : {1000, 10000, 100000, 1000000, 10000000}) b->Arg(n);
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_WalkList)->Apply(sizes);
BENCHMARK(BM_WalkBitArray)->Apply(sizes);
BENCHMARK(BM_MinCopyFromList)->Apply(sizes);
BENCHMARK(BM_MinCopyFromBitArray)->Apply(sizes);
BENCHMARK(BM_InsertSetExisting)->Apply(sizes);
BENCHMARK(BM_InsertSetNew)->Apply(sizes);
BENCHMARK(BM_PackList)->Apply(sizes);
BENCHMARK(BM_UnpackList)->Apply(sizes);
BENCHMARK(BM_ScatteredCodeRead)->Arg(4000)->Arg(40000)->Arg(400000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DistributeList)->Arg(4000)->Arg(40000)->Arg(400000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DistributeCounted)->Arg(4000)->Arg(40000)->Arg(400000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
