#include "alphabet/stop_mask.h"

#include <cstring>

ResidueKind residue_kind(const ByteCounts& counts) {
  static const char kNucleotides[] = "ACGTUNRYSWKMBDHV";
  bool letters = false;
  for (int c = 'A'; c <= 'Z'; ++c) {
    if (counts[c] == 0 && counts[c + 32] == 0) continue;
    letters = true;
    if (std::strchr(kNucleotides, c) == nullptr) return ResidueKind::Protein;
  }
  return letters ? ResidueKind::Dna : ResidueKind::Unknown;
}

std::string default_mask(const ByteCounts& counts) {
  switch (residue_kind(counts)) {
    case ResidueKind::Dna:
      return "*N";
    case ResidueKind::Protein:
      return "*X";
    case ResidueKind::Unknown:
      break;
  }
  return "*";
}

// A STOP line is one word of the file: a blank or a control byte would end
// or break it, a byte above 0x7E is no character of its own (a UTF-8
// character is several), and '#' at the start of the word makes it a comment.
bool maskable(unsigned char c) { return c > 0x20 && c < 0x7F && c != '#'; }
