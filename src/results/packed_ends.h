#pragma once
// Occurrence ends kept for many rows (the class-1 sites that decide a row's
// motif and matrix): each as its distance from the one before, in 7-bit
// groups, low group first, the high bit set on every group but a distance's
// last. A few bytes a site instead of four.
#include <cstddef>
#include <vector>

class PackedEnds {
 public:
  // Ends are added in increasing order.
  void push(int end) {
    unsigned gap = static_cast<unsigned>(end) - last_;
    last_ = static_cast<unsigned>(end);
    for (; gap >= 0x80; gap >>= 7) bytes_.push_back(static_cast<unsigned char>(gap | 0x80));
    bytes_.push_back(static_cast<unsigned char>(gap));
  }
  // Calls `visit(end)` for every end, in order.
  template <typename Visit>
  void for_each(Visit visit) const {
    unsigned end = 0, gap = 0;
    int shift = 0;
    for (unsigned char byte : bytes_) {
      if (shift < 32) gap |= static_cast<unsigned>(byte & 0x7F) << shift;
      shift += 7;
      if ((byte & 0x80) != 0) continue;
      end += gap;
      visit(static_cast<int>(end));
      gap = 0;
      shift = 0;
    }
  }
  void clear() {
    bytes_.clear();
    last_ = 0;
  }
  // Gives the storage back (clear() keeps it for the next row).
  void release() {
    std::vector<unsigned char>().swap(bytes_);
    last_ = 0;
  }
  void shrink_to_fit() { bytes_.shrink_to_fit(); }
  std::size_t capacity() const { return bytes_.capacity(); }

 private:
  std::vector<unsigned char> bytes_;
  unsigned last_ = 0;
};
