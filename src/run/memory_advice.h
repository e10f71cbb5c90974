#pragma once
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

// Asks for transparent huge pages under the tables that the search reads at
// scattered positions (the coded input, the sequence index): on inputs of
// hundreds of millions of positions a 4 KiB page a read misses the TLB at
// almost every element of a sparse set, and the search's time grew faster
// than the input. Only the whole 2 MiB pages inside the range are advised,
// and only before they are written (pages already there stay as they are).
// Where the kernel does not offer them, nothing changes.
inline void advise_huge_pages(const void* data, std::size_t bytes) {
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  if (bytes < 8 * kHuge) return;
  const auto at = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (at + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t last = (at + bytes) & ~(kHuge - 1);
  if (last <= first) return;
#ifdef MADV_HUGEPAGE
  madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}
