// The position sets the trie keeps per node, as the search stores them
// (a list, a bit array or a packed block) and as its readers want them.
#include <cstddef>

#include "alphabet/charset.h"
#include "run/error.h"
#include "search/gstree.h"
#include "search/packed_positions.h"
#include "sets/set_registry.h"

bool GSTree::has_packed_set(const STree_Node* node) const {
  return !is_character_node(node, charset->alphabet_size) || (packs_sets_ && node != root_block + 1);
}

const int* GSTree::stored_set_of(STree_Node* node, int& offset) {
  const Set_ID* id = node->set_id;
  if (id == nullptr || id->set == nullptr)
    error("INTERNAL ERROR: a reported or expanded pattern has no position set");
  offset = 0;
  if (!has_packed_set(node)) return id->set;
  // Unpacked once for the report and the expansion that follow each other.
  if (unpacked_for_ != node) {
    unpacked_.resize(static_cast<std::size_t>(packed_positions::size(id->set)) + 1);
    packed_positions::unpack(id->set, unpacked_.data());
    unpacked_for_ = node;
    unpacked_offset_ = packed_positions::offset(id->set);
  }
  offset = unpacked_offset_;
  return unpacked_.data();
}

const int* GSTree::set_of(STree_Node* node) {
  int offset = 0;
  const int* set = stored_set_of(node, offset);
  if (offset != 0) {
    packed_positions::apply_offset(unpacked_.data(), offset, coded_string, crossable_);
    unpacked_offset_ = 0;
  }
  return set;
}
