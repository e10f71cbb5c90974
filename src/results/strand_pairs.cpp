#include "results/strand_pairs.h"

#include <algorithm>
#include <string>
#include <vector>

#include "alphabet/charset.h"
#include "input/reading.h"

namespace {

// The code of the complement of element `code`; 0 where there is none.
unsigned complement_code(const CHARSET& charset, const CHARSET::Element& e) {
  auto complement_char = [&](unsigned code) -> unsigned {
    const char c = static_cast<char>(charset.code_to_char[code]);
    std::string out;
    if (reverse_complement(&c, 1, out) != 1) return 0;
    const unsigned to = charset.char_to_code[static_cast<unsigned char>(out[0])];
    return to >= 1 && to <= static_cast<unsigned>(charset.alphabet_size) ? to : 0;
  };
  switch (e.kind) {
    case CHARSET::Kind::Character:
      return complement_char(e.code);
    case CHARSET::Kind::Wildcard:
      return e.code;
    case CHARSET::Kind::Group: {
      const unsigned char* row = charset.members[e.code];
      std::vector<unsigned> want;
      for (int k = 1; k <= row[0]; ++k) {
        const unsigned c = complement_char(row[k]);
        if (c == 0) return 0;
        want.push_back(c);
      }
      std::sort(want.begin(), want.end());
      for (int g = charset.alphabet_size + 1; g <= charset.total_codes; ++g) {
        const CHARSET::Element other = charset.decode(static_cast<unsigned char>(g));
        if (other.kind != CHARSET::Kind::Group) continue;
        const unsigned char* members = charset.members[g];
        std::vector<unsigned> have(members + 1, members + 1 + members[0]);
        std::sort(have.begin(), have.end());
        if (have == want) return static_cast<unsigned>(g);
      }
      return 0;
    }
    default:
      return 0;
  }
}

}  // namespace

std::string reverse_complement_codes(const CHARSET& charset, const std::string& codes) {
  const std::size_t n = codes.size();
  std::string out(n, '\0');
  for (std::size_t k = 0; k < n; ++k) {
    const CHARSET::Element e = charset.decode(static_cast<unsigned char>(codes[n - 1 - k]));
    const unsigned c = complement_code(charset, e);
    if (c == 0) return std::string();
    // The gap before element k of the reverse lies between the original
    // elements n - 1 - k and n - k: it is the gap before the latter.
    const bool gap = k > 0 && charset.decode(static_cast<unsigned char>(codes[n - k])).after_gap;
    out[k] = static_cast<char>(gap ? c + 128 : c);
  }
  return out;
}
