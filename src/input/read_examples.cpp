// Reading the sequence files: one sequence per line, an optional class name
// after it, comment, header and blank lines skipped.
#include <sys/stat.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "alphabet/line_reader.h"
#include "input/input_string.h"
#include "run/error.h"
#include "run/globals.h"

namespace {

// The joined string, its lookups and the codes are indexed by int, and
// length + 2 entries must stay addressable.
constexpr std::size_t kMaxJoinedLength = std::numeric_limits<int>::max() - 2;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// isspace as a table: the scan for the end of a sequence runs over every
// input character.
struct SpaceTable {
  std::array<bool, 256> space{};
  SpaceTable() {
    for (int c = 0; c < 256; ++c) space[c] = std::isspace(c) != 0;
  }
};
const SpaceTable kSpaces;

bool is_space(char c) { return kSpaces.space[static_cast<unsigned char>(c)]; }

// Room for every file at once, so the table grows without copying; a size
// that cannot be known (a pipe) just leaves the growth to the vector.
void reserve_for(char** files, std::vector<unsigned char>& text) {
  std::size_t total = text.size() + 2;
  for (int f = 1; files[f] != nullptr; ++f) {
    struct stat st;
    if (stat(files[f], &st) == 0 && S_ISREG(st.st_mode)) total += static_cast<std::size_t>(st.st_size);
  }
  if (total > kMaxJoinedLength + 2) total = kMaxJoinedLength + 2;
  try {
    text.reserve(total);
  } catch (const std::bad_alloc&) {
    // Reading will report the shortage if the sequences really need it.
  }
}

// Index of the first white-space byte of s[0..n), or n. Every white-space
// byte is below 0x21, so words without such a byte are passed over eight
// bytes at a time (the test is exact for "some byte is below 0x21").
std::size_t first_space(const char* s, std::size_t n) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, s + i, 8);
    if (((w - kOnes * 0x21) & ~w & kHighs) != 0) break;
  }
  for (; i < n; ++i)
    if (is_space(s[i])) return i;
  return n;
}

}  // namespace

void SequenceTable::add(const char* sequence, std::size_t n, unsigned char class_nr) {
  if (n + 1 > kMaxJoinedLength - text.size())
    error("The input sequences are too long together: more characters than",
          static_cast<long long>(kMaxJoinedLength));
  try {
    const std::size_t at = text.size();
    text.resize(at + n + 1);
    std::memcpy(text.data() + at, sequence, n);
    text[at + n] = 0;
    classes.push_back(class_nr);
  } catch (const std::bad_alloc&) {
    error("Allocation of new string failed");
  }
}

int input_string::read_examples(char** files) {
  std::fputs("YESS: reached input_string::read_examples( char** filename_array ) \n", stderr);
  reading_ = SequenceTable();
  reserve_for(files, reading_.text);
  int s = 0;
  for (int f = 1; files[f] != nullptr; ++f) {
    const char* name = files[f];
    if (verbose_level > 1) std::printf("# Start reading input file %s\n", name);
    FilePtr file(std::fopen(name, "rb"));
    if (!file) error("Can't open input file", name);
    char file_class[16];
    std::snprintf(file_class, sizeof file_class, "%d", f);
    LineReader reader(file.get(), kMaxLineLength);

    for (;;) {
      const LineReader::Status status = reader.next();
      if (status == LineReader::kEnd) break;
      if (status == LineReader::kTooLong) {
        std::fprintf(stderr, "Input file %shas too long input line %d\n", name, s + 1);
        error("example-file has too long input line", s + 1);
      }
      if (status == LineReader::kReadError) error("Can't read input file", name);

      char* line = reader.line();
      const std::size_t n = reader.size();
      if (n == 0 || line[0] == '#' || line[0] == '>' || line[0] == ' ') continue;
      // A zero byte is the separator of the joined string; inside a
      // sequence it would split it silently.
      if (std::memchr(line, '\0', n) != nullptr) {
        std::fprintf(stderr, "Input file %s has a zero byte in line %zu\n", name,
                     reader.line_number());
        fatal_exit();
      }

      const std::size_t seq_len = first_space(line, n);
      std::size_t p = seq_len;
      while (p < n && is_space(line[p])) ++p;
      const std::size_t class_start = p;
      while (p < n && !is_space(line[p])) ++p;
      const char* class_text = file_class;
      if (p > class_start) {
        line[p] = '\0';  // the reader leaves room after the line
        class_text = line + class_start;
      }

      // The tables stop at the limit rather than growing past it.
      if (s >= kMaxSequences) {
        std::fprintf(stderr, "ERROR: Number of input sequences %d is exceeding the maximum limit %d\n",
                     s + 1, kMaxSequences);
        error("Abort");
      }
      const int class_nr = classes->add_class_name(class_text);
      reading_.add(line, seq_len, static_cast<unsigned char>(class_nr));

      if (verbose_level >= 1 && verbose_level <= 3) {
        std::fputc('.', stderr);
      } else if (verbose_level > 3) {
        std::printf("EX:\t%d\t%.*s\n", s, static_cast<int>(seq_len), line);
        // The class's own name: nr_classes is not known yet, so class_name()
        // could mistake the newest class for the TOTAL slot.
        std::printf("CL: %s\n", classes->names[class_nr]->c_str());
      }
      ++s;
    }
  }

  const int n_classes = classes->countclasses();
  classes->nr_classes = n_classes;
  std::fprintf(stderr, "# Read in total %d examples belonging to %d target classes\n", s, n_classes);
  classes->test();
  return s;
}
