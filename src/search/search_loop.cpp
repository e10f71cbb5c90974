// The search: take the most urgent node, report it, expand it, queue its children.
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "input/input_string.h"
#include "report/found_pattern.h"
#include "report/pattern_output.h"
#include "run/error.h"
#include "run/globals.h"
#include "run/progress.h"
#include "run/report_stream.h"
#include "search/gstree.h"
#include "search/lookahead.h"
#include "search/p_queue.h"
#include "sets/set_registry.h"
#include "sets/sets.h"

namespace {

// A test build can keep every position set to the end of the run; its report
// must equal that of a normal build, which shows that no released set is read.
#ifdef MORVA_NEVER_RELEASE
constexpr bool kReleaseSets = false;
#else
constexpr bool kReleaseSets = true;
#endif

float priority_of(const STree_Node* node, int& order_counter) {
  switch (genorder) {
    case 0:
      return static_cast<float>(order_counter++);
    case 1:
      return static_cast<float>(order_counter--);
    case 2:
      return -static_cast<float>(node->freq);
    case 3:
      return static_cast<float>(node->freq);
    default:
      std::fflush(report_file());
      std::fprintf(stderr, "ERROR: -genorder %d is unknown\n", genorder);
      std::fputs(
          "Known orders are:\n 0 - breadth first, default\n 1 - depth first\n 2 - Order based on "
          "the max number of sequences containing the pattern\n 3 - Order based on the min number "
          "of sequences containing the pattern\n X - unknown - new orders will be interesting to "
          "test out...\n",
          stderr);
      fatal_exit();
  }
}

}  // namespace

Set_of_Sets& GSTree::start_registry() {
  registry_ = std::make_unique<Set_of_Sets>(coded_length, input->nr_sequences);
  set_registry = registry_.get();
  sets = set_registry->sets.get();
  own_->start(root_block == nullptr ? nullptr : root_block + 1, packs_sets_, sets);
  return *registry_;
}

const Set_of_Sets& GSTree::registry() const {
  if (registry_ == nullptr) error("INTERNAL ERROR: the set registry is asked for before the search");
  return *registry_;
}

FoundPattern GSTree::found(STree_Node* node) {
  Count_Nr_of_Classes(node, nullptr);
  FoundPattern found;
  found.codes = treestring(node);
  found.level = node->level;
  found.gap_count = node->gap_count;
  found.cost = costs_.get(node);
  found.seqs = cur_seq_counts;
  found.positions = cur_pos_counts;
  found.set.fetch = [](void* owner, const void* pattern) {
    return static_cast<Expander*>(owner)->set_of(static_cast<const STree_Node*>(pattern));
  };
  found.set.owner = own_.get();
  found.set.pattern = node;
  found.shown_by_size = has_packed_set(node) && is_character_node(node, charset->alphabet_size);
  return found;
}

int GSTree::STreePQ() {
  packs_sets_ = abandonequal == 0 && (maxgrp != 0 || nr_wc_allowed != 0);
  root_block = newchildren(1);
  start_registry();

  root_block->parent() = nullptr;
  root_block->code = 0;
  STree_Node* root = root_block + 1;
  root->code = 0;
  root->nr_children = 0;
  root->level = 0;
  root->gap_count = static_cast<std::int8_t>(init_gap_len);
  root->nr_groups = 0;
  root->wc_left = static_cast<std::int8_t>(nr_wc_allowed);
  root->wc_run = 0;

  {
    // Every position but 0: built straight into the bit array that a list of
    // that size would be stored as.
    int* all = sets->ba_sets->create();
    for (int p = 1; p < coded_length; ++p) all[1 + p / 32] |= static_cast<int>(1u << (p % 32));
    all[0] = ~(coded_length > 0 ? coded_length - 1 : 0);
    Set_ID* id = abandonequal != 0 ? set_registry->Insert_Set(all, input->nr_sequences)
                                   : set_registry->Insert_Single_Set(all);
    Sets::del_set(all);
    root->set_id = id;
    id->node = root;
  }
  Count_Nr_of_Classes(root, nullptr);
  root->nr_seqs = cur_seq_counts[total_slot];
  root->freq = cur_seq_counts[freq_slot];
  total_string_count = new int[nr_classes + 2];
  std::memcpy(total_string_count, cur_seq_counts, sizeof(int) * (nr_classes + 2));

  PatternReport report(*input, *sets, results);
  queue_ = std::make_unique<p_queue>(100000, "MIN");
  // Other threads compute expansions ahead only where an expansion depends
  // on nothing but its node: equal sets move subtrees, and a rising floor
  // prunes by what was found before (the run refuses both with threads).
  if (threads_ > 1 && abandonequal == 0 && floor_ == nullptr) {
    // What the expansions held ahead come from is at most a quarter of the
    // string's positions: their sets stay small beside the queue's.
    const SearchInput& shared = own_->input();
    lookahead_ = std::make_unique<Lookahead>(
        threads_ - 1, [&shared] { return std::make_unique<Expander>(shared, false); },
        coded_length / 4);
  }
  p_queue* queue = queue_.get();
  int order_counter = 0;
  if (floor_ != nullptr && floor_->wants_queued() && minlevel <= 0) floor_->queued(root->nr_seqs);
  queue->insert(root, genorder == 2 ? -static_cast<float>(root->freq)
                      : genorder == 3 ? static_cast<float>(root->freq)
                                      : 0.0f);
  // Without duplicate detection a node's set is last read when the node is
  // done: expanded, never queued, or taken at the maximum level (group
  // children keep sets of their own, so no sibling reads it). Its handle is
  // recycled then; the release is still counted where the search always
  // releases sets (the expanded node's own set, or, with groups or
  // wildcards, a block's sets after its last expansion), so the registry's
  // counters and progress marks are those of that schedule.
  const bool release_counted_per_block = maxgrp != 0 || nr_wc_allowed != 0;
  const bool early_release = abandonequal == 0 && kReleaseSets;
  const int alphabet_size = charset->alphabet_size;
  auto owns_set = [alphabet_size](const STree_Node* k) { return is_character_node(k, alphabet_size); };
  auto child_done = [&](STree_Node* child) {
    if (!early_release) return;
    set_registry->recycle_handle_early(child->set_id);
    child->set_id = nullptr;
  };
  // Whether a node's expansion is worth handing to another thread: below a
  // few hundred positions computing it costs less than telling another
  // thread of it (a search of millions of such nodes ran 2.5 times slower
  // with every node offered).
  constexpr int kWorthOffering = 512;
  const int positions_slot = 2 * nr_classes + 3;  // of a count block: all positions
  auto worth_offering = [&](const STree_Node* k) {
    return k->set_id != nullptr && k->set_id->counts != nullptr &&
           k->set_id->counts[positions_slot] >= kWorthOffering;
  };
  int last_frequency = root->freq;
  int node_count = 0;
  int deepest = 0;

  // Under a rising floor, a node held by exactly as many sequences as the
  // floor waits until the queue is empty: by then the floor has often passed
  // it, and neither it nor its subtree is searched. (Breadth first only: the
  // other orders tie a node's turn to its counts or its depth.)
  const bool defers = floor_ != nullptr && genorder == 0 && abandonequal == 0;
  std::vector<STree_Node*> deferred;
  std::size_t next_deferred = 0;
  bool waited = false;  // the node taken has waited once already
  auto take = [&]() -> STree_Node* {
    waited = false;
    if (auto* n = static_cast<STree_Node*>(queue->del_top())) return n;
    if (next_deferred == deferred.size()) return nullptr;
    STree_Node* n = deferred[next_deferred++];
    if (next_deferred == deferred.size()) {
      deferred.clear();
      next_deferred = 0;
    }
    waited = true;
    return n;
  };
  for (STree_Node* node = take(); node != nullptr; node = take()) {
    if (genorder == 2 && node->freq < last_frequency) {
      if (kReleaseSets) set_registry->Delete_all_sets_from_slot(last_frequency);
      last_frequency = node->freq;
      std::fprintf(report_file(), "\n\n# NR of sequences == %d\n", last_frequency);
    }
    // A floor that rose after the node was queued leaves it out: no pattern
    // held by so few sequences can be significant any more.
    if (floor_ != nullptr && node->nr_seqs < floor_->value() && node != root) {
      child_done(node);
      continue;
    }
    if (defers && !waited && node->nr_seqs == floor_->value() && node != root) {
      deferred.push_back(node);
      continue;
    }
    if (node->level >= minlevel) report.Print_Pattern(found(node));
    flush_report();
    if (node->level > deepest) deepest = node->level;
    if (++node_count % 1000 == 0) std::fputs(".", chatter_file());
    if (progress != nullptr) progress->tick(node_count, queue->next_free - 1);
    if (node->level >= maxlevel) {
      child_done(node);
      continue;
    }

    STree_Node* block = insertchildren(node);
    node->children = block;
    if (block != nullptr) {
      block->parent() = node;
      const int n = block->nr_children;
      const bool reverse = genorder == 1;
      for (int j = 0; j < n; ++j) {
        STree_Node* child = block + (reverse ? n - j : 1 + j);
        if (abandonequal != 0 && child->set_id != nullptr && child->set_id->node != child) {
          std::fputs("-", chatter_file());
          handle_equal_nodes(child);
          continue;
        }
        if (may_be_queued(child, least_support())) {
          const float priority = priority_of(child, order_counter);
          queue->insert(child, priority);
          if (floor_ != nullptr && floor_->wants_queued() && child->level >= minlevel) floor_->queued(child->nr_seqs);
          if (child->set_id != nullptr) child->set_id->node = child;
          if (lookahead_ != nullptr && child->level < maxlevel && worth_offering(child))
            lookahead_->offer(child, priority, child->set_id->counts[positions_slot]);
          continue;
        }
        child_done(child);
        if (child->set_id != nullptr) child->set_id->node = child;
      }
    }

    if (release_counted_per_block) child_done(node);
    if (abandonequal == 0 && kReleaseSets) {
      if (release_counted_per_block) {
        STree_Node* header = block_header(node);
        if (header->nr_unexpanded() == 0)
          error("INTERNAL ERROR: Nr. of expanded nodes is more than allowed...\n");
        if (--header->nr_unexpanded() == 0) {
          for (int i = header->nr_children; i >= 1; --i) {
            if (!owns_set(header + i))
              set_registry->recycle_handle_early(header[i].set_id);  // a group's, never counted
            else if (header[i].set_id != nullptr)
              set_registry->delete_set(header[i].set_id);
            else
              set_registry->count_released_handle();  // recycled early
            header[i].set_id = nullptr;
          }
        }
      } else {
        set_registry->delete_set(node->set_id);
        node->set_id = nullptr;
      }
    }
  }
  lookahead_.reset();
  std::fprintf(report_file(), "\n# Tree is ready. Maximum depth (levels): %d and treenodes: %d\n",
               deepest, node_count);
  if (progress != nullptr) progress->finish(node_count);
  std::fflush(stderr);
  return 1;
}
