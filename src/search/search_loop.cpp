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

// One run of the search. Its concerns each have a step of their own: the
// queue's order (take), the nodes a rising floor defers or drops (waits),
// the report and progress of a node taken (visit), its expansion and the
// queueing of its children (expand, enqueue), the expansions handed to other
// threads (offer) and the schedule by which position sets are given back
// (release, done_with).
class GSTree::SearchLoop {
 public:
  explicit SearchLoop(GSTree& tree);
  void run();

 private:
  // Makes the root with its set and counts; the trie's registry starts here.
  static STree_Node* plant_root(GSTree& tree);
  STree_Node* take();
  // Under the frequency order: entering a smaller frequency gives back the
  // sets of the slot left.
  void enter_frequency(const STree_Node* node);
  bool waits(STree_Node* node);
  void visit(STree_Node* node);
  void report(STree_Node* node);
  void expand(STree_Node* node);
  void enqueue(STree_Node* child);
  void offer(STree_Node* child, float priority);
  void release(STree_Node* node);
  void done_with(STree_Node* node);
  void finish();

  GSTree& tree_;
  STree_Node* const root_;
  PatternReport report_;
  p_queue* queue_ = nullptr;
  int order_counter_ = 0;
  int last_frequency_;
  int node_count_ = 0;
  int deepest_ = 0;

  // Without duplicate detection a node's set is last read when the node is
  // done: expanded, never queued, or taken at the maximum level (group
  // children keep sets of their own, so no sibling reads it). Its handle is
  // recycled then; the release is still counted where the search always
  // releases sets (the expanded node's own set, or, with groups or
  // wildcards, a block's sets after its last expansion), so the registry's
  // counters and progress marks are those of that schedule.
  const bool release_counted_per_block_ = maxgrp != 0 || nr_wc_allowed != 0;
  const bool early_release_ = abandonequal == 0 && kReleaseSets;

  // Whether a node's expansion is worth handing to another thread: below a
  // few hundred positions computing it costs less than telling another
  // thread of it (a search of millions of such nodes ran 2.5 times slower
  // with every node offered).
  static constexpr int kWorthOffering = 512;
  const int positions_slot_;  // of a count block: all positions

  // Under a rising floor, a node held by exactly as many sequences as the
  // floor waits until the queue is empty: by then the floor has often passed
  // it, and neither it nor its subtree is searched. (Breadth first only: the
  // other orders tie a node's turn to its counts or its depth.)
  const bool defers_;
  std::vector<STree_Node*> deferred_;
  std::size_t next_deferred_ = 0;
  bool waited_ = false;  // the node taken has waited once already
};

STree_Node* GSTree::SearchLoop::plant_root(GSTree& tree) {
  tree.packs_sets_ = abandonequal == 0 && (maxgrp != 0 || nr_wc_allowed != 0);
  tree.root_block = tree.newchildren(1);
  tree.start_registry();

  STree_Node* root_block = tree.root_block;
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
    const int coded_length = tree.coded_length;
    int* all = tree.sets->ba_sets->create();
    for (int p = 1; p < coded_length; ++p) all[1 + p / 32] |= static_cast<int>(1u << (p % 32));
    all[0] = ~(coded_length > 0 ? coded_length - 1 : 0);
    Set_ID* id = abandonequal != 0 ? tree.set_registry->Insert_Set(all, tree.input->nr_sequences)
                                   : tree.set_registry->Insert_Single_Set(all);
    Sets::del_set(all);
    root->set_id = id;
    id->node = root;
  }
  tree.Count_Nr_of_Classes(root, nullptr);
  root->nr_seqs = tree.cur_seq_counts[tree.total_slot];
  root->freq = tree.cur_seq_counts[tree.freq_slot];
  const int nr_classes = tree.nr_classes;
  // The run's totals, owned by the trie like everything its search makes.
  tree.totals_.assign(tree.cur_seq_counts, tree.cur_seq_counts + nr_classes + 2);
  total_string_count = tree.totals_.data();
  return root;
}

GSTree::SearchLoop::SearchLoop(GSTree& tree)
    : tree_(tree),
      root_(plant_root(tree)),
      report_(*tree.input, *tree.sets, tree.results),
      last_frequency_(root_->freq),
      positions_slot_(2 * tree.nr_classes + 3),
      defers_(tree.floor_ != nullptr && genorder == 0 && abandonequal == 0) {
  tree.queue_ = std::make_unique<p_queue>(100000, "MIN");
  queue_ = tree.queue_.get();
  // Other threads compute expansions ahead only where an expansion depends
  // on nothing but its node: equal sets move subtrees, and a rising floor
  // prunes by what was found before (the run refuses both with threads).
  if (tree.threads_ > 1 && abandonequal == 0 && tree.floor_ == nullptr) {
    // What the expansions held ahead come from is at most a quarter of the
    // string's positions: their sets stay small beside the queue's.
    const SearchInput& shared = tree.own_->input();
    tree.lookahead_ = std::make_unique<Lookahead>(
        tree.threads_ - 1, [&shared] { return std::make_unique<Expander>(shared, false); },
        tree.coded_length / 4);
  }
  SupportFloor* floor = tree.floor_;
  if (floor != nullptr && floor->wants_queued() && minlevel <= 0) floor->queued(root_->nr_seqs);
  queue_->insert(root_, genorder == 2 ? -static_cast<float>(root_->freq)
                        : genorder == 3 ? static_cast<float>(root_->freq)
                                        : 0.0f);
}

void GSTree::SearchLoop::run() {
  for (STree_Node* node = take(); node != nullptr; node = take()) {
    enter_frequency(node);
    if (waits(node)) continue;
    visit(node);
    if (node->level >= maxlevel) {
      done_with(node);
      continue;
    }
    expand(node);
    release(node);
  }
  finish();
}

STree_Node* GSTree::SearchLoop::take() {
  waited_ = false;
  if (auto* n = static_cast<STree_Node*>(queue_->del_top())) return n;
  if (next_deferred_ == deferred_.size()) return nullptr;
  STree_Node* n = deferred_[next_deferred_++];
  if (next_deferred_ == deferred_.size()) {
    deferred_.clear();
    next_deferred_ = 0;
  }
  waited_ = true;
  return n;
}

void GSTree::SearchLoop::enter_frequency(const STree_Node* node) {
  if (genorder != 2 || node->freq >= last_frequency_) return;
  if (kReleaseSets) tree_.set_registry->Delete_all_sets_from_slot(last_frequency_);
  last_frequency_ = node->freq;
  std::fprintf(report_file(), "\n\n# NR of sequences == %d\n", last_frequency_);
}

bool GSTree::SearchLoop::waits(STree_Node* node) {
  const SupportFloor* floor = tree_.floor_;
  if (floor == nullptr || node == root_) return false;
  // A floor that rose after the node was queued leaves it out: no pattern
  // held by so few sequences can be significant any more.
  if (node->nr_seqs < floor->value()) {
    done_with(node);
    return true;
  }
  if (defers_ && !waited_ && node->nr_seqs == floor->value()) {
    deferred_.push_back(node);
    return true;
  }
  return false;
}

void GSTree::SearchLoop::visit(STree_Node* node) {
  if (node->level >= minlevel) report(node);
  // A pattern's line is flushed by the report's sink, which writes it; this
  // is the node's own point: what the search itself wrote goes out, block
  // mode's clock is read and a held stop signal is acted on, also through
  // long stretches of nodes that report nothing.
  flush_report();
  if (node->level > deepest_) deepest_ = node->level;
  if (++node_count_ % 1000 == 0) std::fputs(".", chatter_file());
  if (tree_.progress != nullptr) tree_.progress->tick(node_count_, queue_->next_free - 1);
}

void GSTree::SearchLoop::report(STree_Node* node) {
  tree_.Count_Nr_of_Classes(node, nullptr);
  FoundPattern found;
  found.codes = tree_.treestring(node);
  found.level = node->level;
  found.gap_count = node->gap_count;
  found.cost = tree_.costs_.get(node);
  found.seqs = tree_.cur_seq_counts;
  found.positions = tree_.cur_pos_counts;
  found.set.fetch = [](void* owner, const void* pattern) {
    return static_cast<Expander*>(owner)->set_of(static_cast<const STree_Node*>(pattern));
  };
  found.set.owner = tree_.own_.get();
  found.set.pattern = node;
  found.shown_by_size = tree_.has_packed_set(node) && is_character_node(node, tree_.charset->alphabet_size);
  report_.Print_Pattern(found);
}

void GSTree::SearchLoop::expand(STree_Node* node) {
  STree_Node* block = tree_.insertchildren(node);
  node->children = block;
  if (block == nullptr) return;
  block->parent() = node;
  const int n = block->nr_children;
  const bool reverse = genorder == 1;
  for (int j = 0; j < n; ++j) {
    STree_Node* child = block + (reverse ? n - j : 1 + j);
    if (abandonequal != 0 && child->set_id != nullptr && child->set_id->node != child) {
      std::fputs("-", chatter_file());
      tree_.handle_equal_nodes(child);
      continue;
    }
    if (may_be_queued(child, tree_.least_support())) {
      enqueue(child);
      continue;
    }
    done_with(child);
    if (child->set_id != nullptr) child->set_id->node = child;
  }
}

void GSTree::SearchLoop::enqueue(STree_Node* child) {
  const float priority = priority_of(child, order_counter_);
  queue_->insert(child, priority);
  SupportFloor* floor = tree_.floor_;
  if (floor != nullptr && floor->wants_queued() && child->level >= minlevel) floor->queued(child->nr_seqs);
  if (child->set_id != nullptr) child->set_id->node = child;
  offer(child, priority);
}

void GSTree::SearchLoop::offer(STree_Node* child, float priority) {
  if (tree_.lookahead_ == nullptr || child->level >= maxlevel) return;
  const Set_ID* id = child->set_id;
  if (id == nullptr || id->counts == nullptr || id->counts[positions_slot_] < kWorthOffering) return;
  tree_.lookahead_->offer(child, priority, id->counts[positions_slot_]);
}

void GSTree::SearchLoop::done_with(STree_Node* node) {
  if (!early_release_) return;
  tree_.set_registry->recycle_handle_early(node->set_id);
  node->set_id = nullptr;
}

void GSTree::SearchLoop::release(STree_Node* node) {
  if (release_counted_per_block_) done_with(node);
  if (abandonequal != 0 || !kReleaseSets) return;
  Set_of_Sets* registry = tree_.set_registry;
  if (!release_counted_per_block_) {
    registry->delete_set(node->set_id);
    node->set_id = nullptr;
    return;
  }
  STree_Node* header = block_header(node);
  if (header->nr_unexpanded() == 0) error("INTERNAL ERROR: Nr. of expanded nodes is more than allowed...\n");
  if (--header->nr_unexpanded() != 0) return;
  const int alphabet_size = tree_.charset->alphabet_size;
  for (int i = header->nr_children; i >= 1; --i) {
    if (!is_character_node(header + i, alphabet_size))
      registry->recycle_handle_early(header[i].set_id);  // a group's, never counted
    else if (header[i].set_id != nullptr)
      registry->delete_set(header[i].set_id);
    else
      registry->count_released_handle();  // recycled early
    header[i].set_id = nullptr;
  }
}

void GSTree::SearchLoop::finish() {
  tree_.lookahead_.reset();
  std::fprintf(report_file(), "\n# Tree is ready. Maximum depth (levels): %d and treenodes: %d\n",
               deepest_, node_count_);
  if (tree_.progress != nullptr) tree_.progress->finish(node_count_);
  std::fflush(stderr);
}

int GSTree::STreePQ() {
  SearchLoop loop(*this);
  loop.run();
  return 1;
}
