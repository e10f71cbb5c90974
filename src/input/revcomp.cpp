// Reverse complements for searching both strands of DNA.
#include <array>

#include "input/reading.h"

namespace {

// IUPAC nucleotide codes and their complements, in both cases; 0 marks a
// byte without a complement.
struct ComplementTable {
  std::array<unsigned char, 256> to{};
  ComplementTable() {
    const char* pairs[] = {"AT", "TA", "UA", "CG", "GC", "RY", "YR", "KM", "MK",
                           "SS", "WW", "BV", "VB", "DH", "HD", "NN"};
    for (const char* p : pairs) {
      to[static_cast<unsigned char>(p[0])] = static_cast<unsigned char>(p[1]);
      to[static_cast<unsigned char>(p[0] + 32)] = static_cast<unsigned char>(p[1] + 32);
    }
  }
};
const ComplementTable kComplement;

}  // namespace

std::size_t reverse_complement(const char* s, std::size_t n, std::string& out) {
  out.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = kComplement.to[static_cast<unsigned char>(s[i])];
    if (c == 0) return i;
    out[n - 1 - i] = static_cast<char>(c);
  }
  return n;
}
