#include "sets/set_registry.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "run/error.h"
#include "run/report_stream.h"

Set_of_Sets::Set_of_Sets(int D, int S)
    : domain_size(D), nr_slots(S), nr_sets(0), nr_deleted(0), free_ids(nullptr) {
  std::fprintf(report_file(), "# Set_of_Sets: Domain size is: %d and nr. of set-collections is %d\n", D,
               S);
  sets = std::make_unique<Sets>(D);
  if (S < 0) error("ERROR: Set_of_Sets: negative number of set-collections:", S);
  slots.assign(static_cast<std::size_t>(S) + 1, nullptr);
}

Set_of_Sets::~Set_of_Sets() {
  // Handles on the free list hold neither a set nor counts (release_handle
  // clears them), so whatever a handle still holds is live.
  for (const auto& block : id_blocks_) {
    for (int i = 0; i < kBlockSize; ++i) {
      Sets::del_set(block[i].set);
      std::free(block[i].counts);
    }
  }
}

Set_ID* Set_of_Sets::new_setid() {
  if (free_ids == nullptr) {
    std::unique_ptr<Set_ID[]> block(new (std::nothrow) Set_ID[kBlockSize]());
    if (!block) error("ERROR: Memory allocation failed: No new free sets list");
    for (int i = 0; i + 1 < kBlockSize; ++i) block[i].left = &block[i + 1];
    free_ids = &block[0];
    id_blocks_.push_back(std::move(block));
  }
  Set_ID* id = free_ids;
  free_ids = id->left;
  *id = Set_ID{nullptr, nullptr, nullptr, nullptr, nullptr};
  return id;
}

void Set_of_Sets::count_new_set() {
  ++nr_sets;
  if (nr_sets % 1000 == 0) std::fputc(':', chatter_file());
}

Set_ID* Set_of_Sets::Insert_Set(const int* set, int slot) { return Insert_Set_Copy(sets->min_copy(set), slot); }

Set_ID* Set_of_Sets::Insert_Set_Copy(int* copy, int slot) {
  if (slot > nr_slots) slot = nr_slots;
  if (slot < 0) {
    Sets::del_set(copy);
    error("ERROR: Insert_Set: negative slot:", slot);
  }
  Set_ID*& root = slots[static_cast<std::size_t>(slot)];
  Set_ID* id;
  if (root == nullptr) {
    id = root = new_setid();
  } else {
    Set_ID* h = root;
    for (;;) {
      const int r = sets->gcmp(copy, h->set);
      if (r == 0) {
        Sets::del_set(copy);
        return h;
      }
      Set_ID*& link = r < 0 ? h->left : h->right;
      if (link == nullptr) {
        id = link = new_setid();
        break;
      }
      h = link;
    }
  }
  id->set = copy;
  count_new_set();
  return id;
}

Set_ID* Set_of_Sets::Insert_Single_Set(const int* set) {
  Set_ID* id = new_setid();
  id->set = sets->min_copy(set);
  count_new_set();
  return id;
}

Set_ID* Set_of_Sets::Insert_Single_Block(int* block) {
  Set_ID* id = new_setid();
  id->set = block;
  count_new_set();
  return id;
}

void Set_of_Sets::release_handle(Set_ID* id) {
  id->left = free_ids;
  id->right = nullptr;
  free_ids = id;
  ++nr_deleted;
  if (nr_deleted % 1000 == 0) std::fputc(0xAC, chatter_file());
}

int Set_of_Sets::delete_set(Set_ID* id) {
  if (id == nullptr) return 0;
  // Post-order over the subtree with an explicit stack, because a tree fed
  // with sets in sorted order degenerates into a chain as long as the tree.
  // Each handle's set and counts go first, then its left subtree, its right
  // subtree, and last the handle itself onto the free list; that order of
  // pushes fixes the order in which handles are reused.
  delete_stack_.clear();
  delete_stack_.emplace_back(id, false);
  while (!delete_stack_.empty()) {
    const auto [h, children_done] = delete_stack_.back();
    delete_stack_.pop_back();
    if (children_done) {
      release_handle(h);
      continue;
    }
    Sets::del_set(h->set);
    h->set = nullptr;
    std::free(h->counts);
    h->counts = nullptr;
    delete_stack_.emplace_back(h, true);
    if (h->right != nullptr) delete_stack_.emplace_back(h->right, false);
    if (h->left != nullptr) delete_stack_.emplace_back(h->left, false);
  }
  return 1;
}

void Set_of_Sets::recycle_handle_early(Set_ID* id) {
  if (id == nullptr) return;
  Sets::del_set(id->set);
  id->set = nullptr;
  std::free(id->counts);
  id->counts = nullptr;
  id->node = nullptr;
  id->left = free_ids;
  id->right = nullptr;
  free_ids = id;
}

void Set_of_Sets::count_released_handle() {
  ++nr_deleted;
  if (nr_deleted % 1000 == 0) std::fputc(0xAC, chatter_file());
}

int Set_of_Sets::Delete_all_sets_from_slot(int slot) {
  if (slot > nr_slots || slot < 0) return 0;
  Set_ID*& root = slots[static_cast<std::size_t>(slot)];
  if (root == nullptr) return 0;
  delete_set(root);
  root = nullptr;
  return 1;
}

int Set_of_Sets::count_treenodes(Set_ID* id) const {
  int count = 0;
  std::vector<const Set_ID*> pending;
  if (id != nullptr) pending.push_back(id);
  while (!pending.empty()) {
    const Set_ID* h = pending.back();
    pending.pop_back();
    ++count;
    if (h->left != nullptr) pending.push_back(h->left);
    if (h->right != nullptr) pending.push_back(h->right);
  }
  return count;
}

void Set_of_Sets::test() const {
  std::fprintf(report_file(), "\n\nShow ALL sets of Set_of_Sets:\nDomain Size: %d\n", domain_size);
  int total = 0;
  int shown = 0;
  for (std::size_t i = 0; i < slots.size(); ++i) {
    if (slots[i] == nullptr) continue;
    const int n = count_treenodes(slots[i]);
    total += n;
    std::fprintf(report_file(), "%d\t%d", static_cast<int>(i), n);
    ++shown;
    std::fputs(shown % 3 == 0 ? "\n" : "\t\t", report_file());
  }
  std::fprintf(report_file(), "\n------------------\nTotal of %d (%d) different sets!\n\n", total, nr_sets);
}

int* Set_of_Sets::new_counts(int n) {
  if (n < 0) error("ERROR: Invalid size of a count block:", n);
  void* block = std::calloc(n == 0 ? 1 : static_cast<std::size_t>(n), sizeof(int));
  if (block == nullptr) error("ERROR: Memory allocation failed: count block");
  return static_cast<int*>(block);
}
