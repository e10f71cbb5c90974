#include "search/node_costs.h"

#include <new>

#include "run/error.h"
#include "search/gstree.h"

bool NodeCosts::add_chunk(const STree_Node* base, std::size_t size) {
  if (!enabled_) return true;
  std::unique_ptr<float[]> costs(new (std::nothrow) float[size]());
  if (!costs) return false;
  chunks_[reinterpret_cast<std::uintptr_t>(base)] = Chunk{size, std::move(costs)};
  last_ = nullptr;
  return true;
}

float* NodeCosts::slot(const STree_Node* node) const {
  const auto at = reinterpret_cast<std::uintptr_t>(node);
  const std::uintptr_t width = sizeof(STree_Node);
  if (last_ == nullptr || at < last_base_ || at >= last_base_ + last_->size * width) {
    auto it = chunks_.upper_bound(at);
    // Every node comes from a chunk registered when it was carved.
    if (it == chunks_.begin()) error("A trie node outside every node chunk");
    --it;
    last_base_ = it->first;
    last_ = &it->second;
  }
  return last_->costs.get() + (at - last_base_) / width;
}
