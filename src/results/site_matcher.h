#pragma once
#include <string>
#include <vector>

class CHARSET;
class input_string;

// Where an occurrence lies: the position of every element (for a gap and
// its element, where the element lies), the sequence number, the 1-based
// start and the strand. With both strands, sequence k is its forward run, a
// separator and its reverse complement; a site on the reverse run is given
// in forward coordinates (its leftmost base) with strand '-'.
struct Site {
  std::vector<int> at;
  int first = 0, end = 0;  // the positions it covers, first .. end - 1
  int sequence = 0;
  int start = 0;
  int sequence_length = 0;  // of one strand
  char strand = '+';
};

// Places an occurrence of a pattern in the joined input, given the position
// after its last matched character. Sets hold only ends, and with flexible
// gaps neither the start nor the place of an element is fixed by the
// length: the pattern is matched backwards, each gap taking the shortest
// length that lets the rest match. The sites and the report's sequence
// logos both place occurrences this way, so they agree.
class SiteMatcher {
 public:
  SiteMatcher(const input_string& input, int min_gap, int max_gap);

  // The site of `codes` ending at end - 1; false when it does not match there.
  bool locate(const std::string& codes, int end, Site& site) const;

  // Whether `codes` matches with its last element at end - 1.
  bool matches(const std::string& codes, int end) const {
    return !codes.empty() && match(codes, codes.size(), end - 1, nullptr) >= 0;
  }

  // Whether `codes` holds a flexible gap (a code above the groups).
  bool gapped(const std::string& codes) const;
  // The position of every element of `codes` in `at`; false when it does not match there.
  bool place(const std::string& codes, int end, std::vector<int>& at) const;

 private:
  bool fits(unsigned x, int q) const;
  bool usable(int q) const;
  int match(const std::string& codes, std::size_t n, int q, std::vector<int>* at) const;

  const input_string& input_;
  const CHARSET& charset_;
  const unsigned char* coded_;
  int length_;
  int min_gap_, max_gap_;
};

