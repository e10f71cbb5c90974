#pragma once
// Reading the sequence files into the reading tables: the state shared by
// the line-format reader and the FASTA/FASTQ reader. Internal to input/.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "input/input_string.h"
#include "input/read_progress.h"
#include "input/sequence_source.h"

// Identical sequences within a class: each sequence's forward strand is
// found again by its hash, and a candidate of the same hash is compared byte
// for byte, so a check costs one pass over the sequence.
struct CopyIndex {
  // hash -> index (from 0) of the first sequence of its kind: copies get no
  // entry of their own
  std::unordered_multimap<std::uint64_t, int> by_hash;
  std::vector<std::size_t> starts;   // where sequence i's forward strand begins in the text
  std::vector<std::size_t> lengths;  // and its length
  std::array<long, 256> copies{};    // per class: sequences equal to an earlier one
  // Per class with -dedup: the identifiers of the first copies dropped.
  std::array<std::vector<std::string>, 256> dropped;
};

struct ReadState {
  SequenceTable& table;
  input_classes& classes;
  const InputOptions& options;
  int sequences = 0;   // read so far, over all files
  std::string strand;  // scratch for a reverse complement
  CopyIndex copies;
  ReadProgress progress{options.progress};
};

// With -dedup, the identifiers named per class of the copies dropped.
constexpr std::size_t kDroppedNamed = 10;

struct FileRead {
  const char* name;
  int number;          // 1.. in command-line order
  char file_class[16]; // the class name of sequences without one: the number
  int sequences = 0;   // read from this file
  long empty = 0;      // lines or records that held no sequence
  long gaps = 0;       // alignment gap characters dropped from records
};

// Adds one sequence with its class and identifier (a name, or a line number
// when `name` is null): the sequence limit, the reverse complement with
// -revcomp, the progress marks.
void add_sequence(ReadState& state, FileRead& file, const char* sequence, std::size_t n,
                  const char* class_text, const char* name, std::size_t line);

// The line format: one sequence per line with an optional class name.
void read_line_file(ReadState& state, FileRead& file, SequenceSource& source);
// FASTA or FASTQ records of any number of lines.
void read_record_file(ReadState& state, FileRead& file, SequenceSource& source, InputFormat format);

// The reverse complement of s[0..n) into `out` (IUPAC codes, either case).
// Returns n, or the index of the first byte that has no complement.
std::size_t reverse_complement(const char* s, std::size_t n, std::string& out);

// A byte as a reader can see it in a message: the character, or \xNN.
std::string printable(unsigned char c);
