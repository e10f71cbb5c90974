#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "alphabet/charset.h"
#include "input/input_classes.h"
#include "input/input_options.h"
#include "input/sequence_ids.h"
#include "input/sequence_index.h"

// The reading tables, alive only between reading the sequence files and
// joining them: every sequence already laid out as in the joined string (a
// separator 0 first, then each sequence followed by its 0), so that joining
// needs no second copy, plus the class number of each sequence.
//
// With both strands searched, each sequence is followed by its reverse
// complement as a second run of the same sequence: `strands` runs, each
// ended by a 0, make up one sequence.
struct SequenceTable {
  std::vector<unsigned char> text{0};
  std::vector<unsigned char> classes;  // class number of sequence k + 1
  SequenceIds ids;                     // identifier of sequence k + 1 as ids[k + 1]
  std::vector<unsigned char> files;    // number of the file it came from
  int strands = 1;
  // The most positions `text` may reach: what 32-bit positions address,
  // with room for the two closing entries. Readers check it as they read,
  // so a huge record fails before it is held in memory.
  std::size_t max_length = kMaxJoinedLength;
  static constexpr std::size_t kMaxJoinedLength = 2147483647 - 2;

  int count() const { return static_cast<int>(classes.size()); }
  // The most letters one more sequence may have (each of its strands takes
  // them and a separator).
  std::size_t room() const;
  // Ends the run with the message of the limit `max_length` stands for, when
  // the sequence being added would take `adding` more positions.
  [[noreturn]] void too_long(std::size_t adding) const;
  // Appends one sequence of `n` bytes; ends the run when no storage can be had.
  void add(const char* sequence, std::size_t n, unsigned char class_nr);
  // Appends a further strand of `n` bytes to the sequence added last.
  void add_strand(const char* strand, std::size_t n);
};

// All input sequences joined into one coded string, with the lookups from
// position to sequence and from sequence to class.
//
// Layout: position 0 holds the separator 0, then every sequence followed by
// a 0; `length` counts those positions, and positions length and length + 1
// hold 0 too. Sequence k (1..nr_sequences) ends at its separator seq_end[k].
class input_string {
 public:
  static constexpr std::size_t kMaxLineLength = 2999999;

  // files[1], files[2], ... up to a null entry; `charset_file` the -cf name
  // or null; `charset_only` the -cfonly value; how the files are read.
  input_string(char** files, const char* charset_file, int charset_only,
               const InputOptions& options = InputOptions());

  input_string(const input_string&) = delete;
  input_string& operator=(const input_string&) = delete;

  std::vector<unsigned char> joined;
  const char* charset_file = nullptr;
  int charset_only = 0;
  std::unique_ptr<input_classes> classes;
  std::unique_ptr<CHARSET> charset;
  int length = 0;
  int nr_sequences = 0;
  std::vector<int> seq_end;
  // The sequence of each position (seq_of), from seq_end: a table per
  // position would cost more than the joined string itself.
  SequenceIndex seq_index;
  int seq_of(int p) const { return seq_index.seq_of(p); }
  std::vector<unsigned char> class_of_seq;
  unsigned char* coded = nullptr;  // the coded joined string, same storage as `joined`

  // Where each sequence came from, for output that names it: entry k of
  // sequence k (entry 0 unused). The identifier is the first word of a
  // FASTA/FASTQ header, or the line number in the line format.
  SequenceIds seq_ids;
  std::vector<unsigned char> seq_file;
  // 2 when every sequence is followed by its reverse complement (-revcomp):
  // sequence k then spans two separator-ended runs up to seq_end[k].
  int strands = 1;

  // Reads every file into the reading tables and the class table; returns
  // the number of sequences read.
  int read_examples(char** files);
  // Joins the sequences, obtains the character set (taking ownership of
  // `given`, or generating one when it is null or -cfonly is set) and codes
  // the joined string in place. Returns 1.
  int input_string_init(SequenceTable& sequences, CHARSET* given);

  void test();
  void print(char code);
  void print(const char* s);
  void print(const char* s, int n);

 private:
  // Writes the character-set file of the input (when it can) and returns
  // the set read from the generated text.
  std::unique_ptr<CHARSET> generate_charset();
  // Mixed case in a generated set: A and a would be two characters.
  static void warn_mixed_case(const ByteCounts& counts);
  // Byte counts of the joined input per class (slot = class number) in one
  // pass; their sum is the count of the whole joined input.
  std::vector<ByteCounts> class_byte_counts() const;
  // The STOP characters of a generated set (-mask, or the default of FASTA
  // and FASTQ input), those the input holds, with the warnings that name them.
  std::string stop_characters(const ByteCounts& counts,
                              const std::vector<ByteCounts>& by_class) const;
  // The line format masks nothing by default: characters that are often not
  // residues and occur in one class only are named, since they alone can
  // tell the classes apart.
  void warn_one_class_characters(const std::vector<ByteCounts>& by_class) const;

  std::string charset_file_name_;
  InputOptions options_;
  SequenceTable reading_;
  // Every file was read as FASTA or FASTQ records (the default masking applies).
  bool records_only_ = false;
};
