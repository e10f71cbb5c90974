#pragma once
#include <array>
#include <string>

class CHARSET;

// Searching both strands of DNA finds every pattern twice: as itself and as
// its reverse complement, with the same counts. The ranked results show the
// two as one row.
class StrandPairs {
 public:
  // The complement of every code of the character set, worked out once: a
  // character's by its letter, a group's as the group of its members'
  // complements, a wildcard itself.
  explicit StrandPairs(const CHARSET& charset);

  // The codes of the reverse complement of a pattern: its elements in
  // reverse order, each complemented, a flexible gap kept between the same
  // two elements. Empty where an element has no complement in the set.
  std::string reverse_complement(const std::string& codes) const;
  bool self_complementary(const std::string& codes) const;

 private:
  const CHARSET& charset_;
  std::array<unsigned char, 256> complement_{};  // 0: none
};
