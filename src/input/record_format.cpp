// FASTA and FASTQ records through htslib's kseq: a record's sequence may
// span any number of lines of any length; FASTQ qualities are read past.
#include <htslib/kseq.h>

#include <array>
#include <cctype>
#include <climits>
#include <cstring>
#include <memory>

#include "input/reading.h"
#include "run/error.h"

namespace {

// kseq reads through this; a failed read ends its stream like the end of
// the file, and the caller asks the source whether it failed.
int source_read(SequenceSource* source, void* buffer, int size) {
  const std::ptrdiff_t n = source->read(static_cast<char*>(buffer), static_cast<std::size_t>(size));
  return n < 0 ? 0 : static_cast<int>(n);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
KSEQ_INIT(SequenceSource*, source_read)
#pragma GCC diagnostic pop

struct KseqDeleter {
  void operator()(kseq_t* seq) const { kseq_destroy(seq); }
};

// Sequence letters as the search should see them: white space left inside
// a record (blanks, carriage returns) dropped, lower case (soft-masked
// regions) folded to upper case, and alignment gaps ('-' and '.') dropped,
// so that an aligned family is read as its ungapped sequences: a gap is no
// residue, and runs of gaps would otherwise come out as patterns.
struct FoldTable {
  std::array<unsigned char, 256> to{};
  std::array<bool, 256> drop{};
  std::array<unsigned char, 256> gap{};
  FoldTable() {
    for (int c = 0; c < 256; ++c) {
      to[c] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c);
      gap[c] = c == '-' || c == '.';
      drop[c] = std::isspace(c) != 0 || gap[c] != 0;
    }
  }
};
const FoldTable kFold;

// Folds s[0..n) in place; returns the new length and adds the gap
// characters dropped to `gaps`.
std::size_t fold_in_place(char* s, std::size_t n, long& gaps) {
  std::size_t out = 0;
  long dropped_gaps = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (kFold.drop[c]) {
      dropped_gaps += kFold.gap[c];
      continue;
    }
    s[out++] = static_cast<char>(kFold.to[c]);
  }
  gaps += dropped_gaps;
  return out;
}

bool only_white_space(const char* s, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (!std::isspace(static_cast<unsigned char>(s[i]))) return false;
  return true;
}

}  // namespace

void read_record_file(ReadState& state, FileRead& file, SequenceSource& source, InputFormat format) {
  const bool fastq = format == InputFormat::Fastq;
  const char marker = fastq ? '@' : '>';
  // kseq passes over everything before the first header without a word;
  // text there means the file is in another format.
  if (!only_white_space(source.head(), source.head_size()) && source.detect() != format)
    fatal("%s is not in %s format: its first character is not '%c'", file.name,
          fastq ? "FASTQ" : "FASTA", marker);

  std::unique_ptr<kseq_t, KseqDeleter> seq(kseq_init(&source));
  if (!seq) error("Allocation of new string failed");
  for (;;) {
    const int status = kseq_read(seq.get());
    if (status == -1) break;
    const char* id = seq->name.s != nullptr ? seq->name.s : "";
    if (status == -2)
      fatal("%s: the FASTQ record %s is cut short: its quality line is missing or shorter than "
            "its sequence",
            file.name, id);
    if (status == -3) error("Allocation of new string failed");
    const std::size_t n = fold_in_place(seq->seq.s, seq->seq.l, file.gaps);
    if (n == 0) {
      ++file.empty;
      continue;
    }
    if (std::memchr(seq->seq.s, '\0', n) != nullptr)
      fatal("%s: the sequence of record %s holds a zero byte", file.name, id);
    add_sequence(state, file, seq->seq.s, n, file.file_class, id, 0);
  }
  if (file.gaps > 0)
    warning("%s: %ld alignment gap %s (- and .) dropped", file.name, file.gaps,
            file.gaps == 1 ? "character" : "characters");
}
