#pragma once
#include <array>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

// The character set of a run: the alphabet with its one-byte codes, the STOP
// characters, the character groups and the per-code tables the search looks
// up by direct indexing.
//
// Codes: 0 is the separator, 1..alphabet_size the alphabet characters in the
// order of the alphabet token, then the groups in file order up to
// total_codes (the automatic "." group last), and 128 + x a flexible gap
// followed by code x. Bit 7 marks gaps, and parts of the search read codes and
// row counts as signed bytes, so a file needing more than kMaxCodes codes is
// refused when read.
//
// The object holds two 64 KB tables: always allocate it on the heap.
class CHARSET {
 public:
  static constexpr int kMaxCodes = 127;

  // Reads the character-set file and builds every derived table; ends the
  // run with a message for every fault of the file.
  explicit CHARSET(const char* filename);
  // The same from the text of such a file held in memory (a generated set),
  // called `filename` in messages.
  CHARSET(const char* filename, const std::string& text);

  CHARSET(const CHARSET&) = delete;
  CHARSET& operator=(const CHARSET&) = delete;

  std::string filename;
  std::string alphabet;
  std::array<std::string, 256> group_members;
  std::array<std::string, 256> group_names;
  std::string coded_alphabet;
  std::vector<std::string> group_codes;
  std::array<unsigned char, 256> char_to_code{};
  std::array<unsigned char, 256> code_to_char{};
  std::array<float, 256> cost{};  // probabilities while reading, costs after
  std::array<unsigned char, 256> stop_flag{};
  int alphabet_size = 0;
  int nr_groups = 0;
  int total_codes = 0;
  int wildcard_code = 0;
  // Row per code: [0] = count n, [1..n] = codes in increasing order.
  // members: for a character the groups holding it, for a group its
  // characters. supersets: for codes 0..alphabet_size a copy of members, for
  // a group every other group holding all of its characters.
  unsigned char members[256][256] = {};
  unsigned char supersets[256][256] = {};

  // Codes a zero-terminated text in place; every byte that is not an
  // alphabet character is left as it is and reported. Returns non-zero if
  // any byte was reported.
  int mapstring(char* text);
  // The same for n bytes, of which zero bytes stay 0 without a report.
  int mapstring(char* text, int n);

  // Print a code, a zero-terminated coded text ("<empty>" when empty) or n
  // codes (zeros as "_") to the report's stream. A code that is neither a
  // character, a group nor a valid gap ends the run.
  void print(char code) const;
  void print(const char* text) const;
  void print(const char* text, int n) const;

  // The text print() writes for a coded pattern of valid codes, as a string.
  std::string spell(const std::string& codes) const;

  // What one code of a pattern stands for: whether a flexible gap comes
  // before it, the element's own code, and its kind. Every reader of
  // pattern codes (spelling, sites, logos, the ranking's wildcard test)
  // decodes them here, so that they agree.
  enum class Kind { Separator, Character, Group, Wildcard, Invalid };
  struct Element {
    bool after_gap = false;
    unsigned code = 0;  // the character or group, gap flag removed
    Kind kind = Kind::Invalid;
  };
  Element decode(unsigned char code) const;
  // Whether a flexible gap comes before the element of `code` (128 + x).
  bool follows_gap(unsigned char code) const { return code > total_codes; }
  // The element as a pattern spells it: "A", "[ILVM]", "."; "_" for the separator.
  std::string label(unsigned code) const;

  // The character-set listing (only when verbose_level > 0).
  void test() const;

 private:
  void build(const std::string* text);
  void read_file(std::FILE* file);
  void add_group(const char* member_chars, const char* name);
  void derive_tables();
  void derive_costs();
  void print_summary() const;
};

// Byte counts of a raw joined input, one entry per byte value.
using ByteCounts = std::array<long long, 256>;
ByteCounts count_bytes(const unsigned char* text, std::size_t n);

// The text of a default character-set file for the byte counts of the
// joined input of `length` positions (separator included); `groups` (g=
// lines) is appended after the fixed closing text. `stops`, when not empty,
// becomes the STOP line; its characters must be in the alphabet (occur in
// the input) and be able to stand in one word of the file.
std::string charset_file_text(const ByteCounts& counts, int length, const std::string& groups,
                              const std::string& stops = "");

// Stores `text` under `filename`: through a symbolic link to its target,
// keeping the permission bits (0777) of a file that exists (else 0664 before
// the umask), and only once completely written. On failure the reason is in
// `why` and nothing partial is left behind: kFailed when the system refused
// (an unwritable directory), kDangling for a link to no file, which is not
// followed, kRefused for a link another user may have planted in a shared
// directory (or one that cannot be resolved), which must end the run.
enum class StoreResult { kStored, kFailed, kDangling, kRefused };
StoreResult store_charset_text(const char* filename, const std::string& text, std::string& why);

// Writes a default character-set file from the byte counts of the joined
// input; on any failure the run ends with "Couldn't open file " and the name.
void write_charset_file(const char* filename, const ByteCounts& counts, int length);
