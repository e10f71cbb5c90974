// A node's pattern spelled as its codes, for the report and the search's own lines.
#include <string>

#include "search/gstree.h"

char TMPSTRING[151];

const char* GSTree::treestring(STree_Node* node) {
  // A pattern is at most 149 codes plus the root's own code, except where a
  // subtree moved under a deeper twin is spelled through it; such a pattern
  // is spelled in a buffer of its own length instead of being cut.
  const STree_Node* header = block_header(node);
  if (header != prefix_header_ || abandonequal != 0) {
    prefix_codes_.clear();
    for (STree_Node* cur = header->parent(); cur != nullptr; cur = parent_of(cur))
      prefix_codes_.push_back(static_cast<char>(cur->code));
    // A block whose parent is not linked yet is spelled but not remembered.
    const bool linked = header->parent() != nullptr || header == root_block;
    prefix_header_ = abandonequal != 0 || !linked ? nullptr : header;
  }
  const std::size_t codes = prefix_codes_.size() + 1;
  char* buffer = TMPSTRING;
  std::size_t end = 150;
  if (codes > 150) {
    long_pattern_.assign(codes + 1, 0);
    buffer = &long_pattern_[0];
    end = codes;
  }
  buffer[end] = 0;
  std::size_t i = end;
  buffer[--i] = static_cast<char>(node->code);
  for (char code : prefix_codes_) buffer[--i] = code;
  return buffer + i + 1;
}

