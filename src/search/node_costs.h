#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>

struct STree_Node;

// The cost of each trie node (-costf 1), kept beside the nodes rather than
// in them: only that setting reads it, and a node without it has room for
// counts of any input size at the same 32 bytes. Nodes are carved from
// chunks that never move, so each chunk of nodes has a float chunk of the
// same length, found by the node's address.
class NodeCosts {
 public:
  void enable() { enabled_ = true; }

  // Makes the costs of a new node chunk of `size` records (all 0); returns
  // false when no storage can be had.
  bool add_chunk(const STree_Node* base, std::size_t size);

  // A node's cost; 0 for every node while costs are not kept.
  float get(const STree_Node* node) const {
    return enabled_ ? *slot(node) : 0.0f;
  }
  void set(const STree_Node* node, float cost) {
    if (enabled_) *slot(node) = cost;
  }

 private:
  float* slot(const STree_Node* node) const;

  struct Chunk {
    std::size_t size;
    std::unique_ptr<float[]> costs;
  };
  bool enabled_ = false;
  // Keyed by the chunk's first address, so that the chunk of a node is the
  // last one starting at or before it.
  std::map<std::uintptr_t, Chunk> chunks_;
  // Most lookups fall in the chunk filled last.
  mutable std::uintptr_t last_base_ = 0;
  mutable const Chunk* last_ = nullptr;
};
