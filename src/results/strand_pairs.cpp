#include "results/strand_pairs.h"

#include <algorithm>
#include <string>
#include <vector>

#include "alphabet/charset.h"
#include "input/reading.h"

StrandPairs::StrandPairs(const CHARSET& charset) : charset_(charset) {
  auto complement_char = [&](unsigned code) -> unsigned {
    const char c = static_cast<char>(charset.code_to_char[code]);
    std::string out;
    if (::reverse_complement(&c, 1, out) != 1) return 0;
    const unsigned to = charset.char_to_code[static_cast<unsigned char>(out[0])];
    return to >= 1 && to <= static_cast<unsigned>(charset.alphabet_size) ? to : 0;
  };
  auto members = [&](unsigned g) {
    const unsigned char* row = charset.members[g];
    std::vector<unsigned> m(row + 1, row + 1 + row[0]);
    std::sort(m.begin(), m.end());
    return m;
  };
  for (int code = 1; code <= charset.total_codes; ++code) {
    const CHARSET::Element e = charset.decode(static_cast<unsigned char>(code));
    unsigned to = 0;
    if (e.kind == CHARSET::Kind::Character) {
      to = complement_char(e.code);
    } else if (e.kind == CHARSET::Kind::Wildcard) {
      to = e.code;
    } else if (e.kind == CHARSET::Kind::Group) {
      std::vector<unsigned> want;
      for (unsigned m : members(e.code)) want.push_back(complement_char(m));
      std::sort(want.begin(), want.end());
      if (!want.empty() && want.front() != 0)
        for (int g = charset.alphabet_size + 1; g <= charset.total_codes && to == 0; ++g)
          if (charset.decode(static_cast<unsigned char>(g)).kind == CHARSET::Kind::Group &&
              members(static_cast<unsigned>(g)) == want)
            to = static_cast<unsigned>(g);
    }
    complement_[static_cast<std::size_t>(code)] = static_cast<unsigned char>(to);
  }
}

std::string StrandPairs::reverse_complement(const std::string& codes) const {
  const std::size_t n = codes.size();
  std::string out(n, '\0');
  for (std::size_t k = 0; k < n; ++k) {
    const CHARSET::Element e = charset_.decode(static_cast<unsigned char>(codes[n - 1 - k]));
    const unsigned c = complement_[e.code];
    if (c == 0) return std::string();
    // The gap before element k of the reverse lies between the original
    // elements n - 1 - k and n - k: it is the gap before the latter.
    const bool gap = k > 0 && charset_.decode(static_cast<unsigned char>(codes[n - k])).after_gap;
    out[k] = static_cast<char>(gap ? c + 128 : c);
  }
  return out;
}

bool StrandPairs::self_complementary(const std::string& codes) const {
  const std::size_t n = codes.size();
  for (std::size_t k = 0; k < n; ++k) {
    const CHARSET::Element e = charset_.decode(static_cast<unsigned char>(codes[n - 1 - k]));
    const unsigned c = complement_[e.code];
    const bool gap = k > 0 && charset_.decode(static_cast<unsigned char>(codes[n - k])).after_gap;
    if (c == 0 || static_cast<unsigned char>(codes[k]) != (gap ? c + 128 : c)) return false;
  }
  return n > 0;
}
