#include "input/input_string.h"

#include "alphabet/group_presets.h"
#include "alphabet/stop_mask.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "run/error.h"
#include "run/globals.h"
#include "run/report_stream.h"

namespace {

std::unique_ptr<CHARSET> read_charset(const char* name) {
  try {
    return std::make_unique<CHARSET>(name);
  } catch (const std::bad_alloc&) {
    error("Couldn't allocate memory for the character set of", name);
  }
}

template <typename T>
void allocate(std::vector<T>& table, std::size_t n, const char* what) {
  try {
    table.assign(n, T());
  } catch (const std::bad_alloc&) {
    error("Couldn't allocate memory for", what);
  }
}

}  // namespace

input_string::input_string(char** files, const char* charset_file_arg, int charset_only_arg,
                           const InputOptions& options)
    : options_(options) {
  if (charset_file_arg != nullptr) {
    charset_file_name_ = charset_file_arg;
    charset_file = charset_file_name_.c_str();
  }
  charset_only = charset_only_arg;
  classes = std::make_unique<input_classes>();
  if (files == nullptr || files[1] == nullptr) error("No input files?\n");

  if (verbose_level > 1) {
    if (charset_file == nullptr) std::fputs("# No character class file yet.\n", report_file());
    std::fputs("# Start reading input file\n", report_file());
  }
  read_examples(files);

  if (verbose_level > 1) std::fputs("# Start reading char-set file\n", report_file());
  std::unique_ptr<CHARSET> given;
  if (charset_file != nullptr && charset_only == 0) {
    if (verbose_level > 1) std::fprintf(report_file(), "# Charset given on command-line: %s\n", charset_file);
    // A name that cannot be opened is not an error: the set is generated
    // under that name instead.
    if (std::FILE* f = std::fopen(charset_file, "r")) {
      std::fclose(f);
      given = read_charset(charset_file);
      if (options_.groups != GroupPreset::None)
        warning("-groups adds groups only to a generated character set; %s is used as written",
                charset_file);
      if (options_.mask_given)
        warning("-mask masks only in a generated character set; %s is used as written",
                charset_file);
    }
  }
  input_string_init(reading_, given.release());

  if (verbose_level > 1) {
    std::fputs("# Input string initiation ok!\n", report_file());
    charset->test();
  }
}

int input_string::input_string_init(SequenceTable& sequences, CHARSET* given) {
  std::unique_ptr<CHARSET> owned(given);
  // No count of its own limits the sequences: each takes a separator at
  // least, so the ceiling on the joined length bounds them first.
  const int n = sequences.count();
  nr_sequences = n;
  length = static_cast<int>(sequences.text.size());

  // The reading table already has the joined layout; it becomes the string.
  joined = std::move(sequences.text);
  try {
    joined.resize(static_cast<std::size_t>(length) + 2, 0);
  } catch (const std::bad_alloc&) {
    error("Couldn't allocate memory for", "the joined input string");
  }
  allocate(seq_end, static_cast<std::size_t>(n) + 1, "seq_end");
  allocate(class_of_seq, static_cast<std::size_t>(n) + 2, "class_of_seq");

  // Each sequence and its separator belong to it (with both strands, both
  // runs and their separators).
  const unsigned char* text = joined.data();
  int p = 1;
  strands = sequences.strands;
  for (int k = 1; k <= n; ++k) {
    for (int strand = 0; strand < strands; ++strand) {
      const void* zero = std::memchr(text + p, 0, static_cast<std::size_t>(length - p));
      if (zero == nullptr) error("The joined input has fewer separators than sequences:", k);
      const int end = static_cast<int>(static_cast<const unsigned char*>(zero) - text);
      seq_end[k] = end;
      p = end + 1;
    }
    class_of_seq[k] = sequences.classes[k - 1];
  }
  if (p != length) error("The joined input has more separators than sequences:", n);
  try {
    seq_index = SequenceIndex(seq_end.data(), n, length);
  } catch (const std::bad_alloc&) {
    error("Couldn't allocate memory for", "the sequence index");
  }

  if (verbose_level > 1) classes->test();

  if (charset_only != 0 || !owned) owned = generate_charset();
  charset = std::move(owned);
  if (verbose_level != 0) charset->test();

  coded = joined.data();
  if (charset->mapstring(reinterpret_cast<char*>(coded), length + 1) != 0)
    error("Don't want to use modified data: update char set file instead\n");

  // The reading tables are done with; give their storage back. The
  // identifiers stay, numbered as the sequences.
  seq_ids = std::move(sequences.ids);
  seq_file = std::move(sequences.files);
  seq_file.insert(seq_file.begin(), 0);
  std::vector<unsigned char>().swap(sequences.text);
  std::vector<unsigned char>().swap(sequences.classes);
  return 1;
}

std::unique_ptr<CHARSET> input_string::generate_charset() {
  std::fputs("# Generate charclass file \n", report_file());
  const char* name = charset_file != nullptr ? charset_file : "default.charclass";
  std::fprintf(report_file(), "# Open %s\n\n", name);
  // Without a sequence there is no character to list; the file would have an
  // empty alphabet, and reading it back would blame the file, not the input.
  if (nr_sequences == 0) fatal("the input holds no sequence, so there is no character set to generate");
  const std::vector<ByteCounts> by_class = class_byte_counts();
  ByteCounts counts{};
  counts[0] = 1;  // position 0, the separator before the first sequence
  for (const ByteCounts& one : by_class)
    for (int c = 0; c < 256; ++c) counts[c] += one[c];
  // In a character-set file '#' starts a comment wherever a word begins
  // with it: neither the alphabet (when '#' is its lowest character) nor the
  // probability line of '#' would read back, so the run would silently use
  // another character set than the input's. Such input needs a file of the
  // user's own, with '#' inside the alphabet word and no probability line.
  if (counts[static_cast<unsigned char>('#')] != 0)
    fatal("the sequences hold the character '#', which a generated character-set file cannot "
          "list ('#' starts a comment there); give a character-set file with -cf that has '#' "
          "inside its alphabet word, or remove the character");
  warn_mixed_case(counts);
  const std::string stops = stop_characters(counts, by_class);
  const std::string text =
      charset_file_text(counts, length, preset_group_lines(options_.groups, counts), stops);
  std::string why;
  const StoreResult stored = store_charset_text(name, text, why);
  if (stored == StoreResult::kRefused) fatal("not writing %s: %s", name, why.c_str());
  if (stored == StoreResult::kDangling && (charset_file != nullptr || charset_only != 0))
    warning("%s: %s", name, why.c_str());
  if (stored != StoreResult::kStored) {
    // A file the user named, or asked for with -cfonly, must be written; the
    // default file is a by-product, and the run can go on without it.
    if (charset_file != nullptr || charset_only != 0) {
      // The classic message gives no reason; the line before it does.
      warning("cannot write %s: %s", name, why.c_str());
      error("Couldn't open file ", name);
    }
    warning("could not write %s (%s); the generated character set is used without a file", name,
            why.c_str());
  }
  // The set is read from the text this run generated, never from the file,
  // which another run in the same directory may have replaced meanwhile.
  try {
    return std::make_unique<CHARSET>(name, text);
  } catch (const std::bad_alloc&) {
    error("Couldn't allocate memory for the character set of", name);
  }
}

std::vector<ByteCounts> input_string::class_byte_counts() const {
  std::vector<ByteCounts> by_class;
  try {
    by_class.assign(256, ByteCounts{});  // every class number a byte can hold
  } catch (const std::bad_alloc&) {
    error("Couldn't allocate memory for", "the byte counts");
  }
  const unsigned char* text = joined.data();
  // Each sequence with its separator (both strands with -revcomp).
  for (int k = 1; k <= nr_sequences; ++k) {
    ByteCounts& counts = by_class[class_of_seq[k]];
    const unsigned char* end = text + seq_end[k] + 1;
    for (const unsigned char* p = text + seq_end[k - 1] + 1; p != end; ++p) ++counts[*p];
  }
  return by_class;
}

std::string input_string::stop_characters(const ByteCounts& counts,
                                           const std::vector<ByteCounts>& by_class) const {
  std::string mask;
  if (options_.mask_given) {
    mask = options_.mask;
    // FASTA and FASTQ letters are read in upper case: a lower-case letter
    // masks the form the input holds.
    if (records_only_)
      for (char& c : mask)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  } else if (records_only_) {
    mask = default_mask(counts);
  } else {
    warn_one_class_characters(by_class);
    return "";
  }
  // Only characters the input holds can be STOP characters (the file's
  // STOP line names alphabet characters); the others are passed over.
  std::string stops, named, listed;
  for (const char c : mask) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (counts[u] == 0 || stops.find(c) != std::string::npos) continue;
    stops.push_back(c);
    named += (named.empty() ? "" : ", ") + std::string(1, c);
    listed += (listed.empty() ? "" : ", ") + std::string(1, c) + " (" + std::to_string(counts[u]) + ")";
  }
  if (stops.empty()) return stops;
  const char* keep_hint = options_.mask_given ? "" : "; -mask '' keeps them";
  bool other_left = false;
  for (int c = 1; c < 256 && !other_left; ++c)
    other_left = counts[c] != 0 && stops.find(static_cast<char>(c)) == std::string::npos;
  if (!other_left)
    fatal("masking %s as STOP characters leaves no other character in the sequences, so no "
          "pattern could be found%s",
          named.c_str(), keep_hint);
  warning("masked as STOP characters (no pattern holds them): %s%s", listed.c_str(), keep_hint);
  return stops;
}

void input_string::warn_one_class_characters(const std::vector<ByteCounts>& by_class) const {
  if (classes->nr_classes < 2) return;
  std::string named;
  for (const char c : std::string("*-.NX")) {
    const unsigned char u = static_cast<unsigned char>(c);
    int holder = 0, holders = 0;
    for (int k = 1; k <= classes->nr_classes; ++k)
      if (by_class[k][u] != 0) holder = k, ++holders;
    if (holders != 1) continue;
    named += (named.empty() ? "" : ", ") + std::string(1, c) + " (class " +
             classes->class_name(holder) + ")";
  }
  if (named.empty()) return;
  warning("characters that are often not residues occur in one class only: %s; patterns of them "
          "can tell the classes apart (-mask CHARS makes them STOP characters)",
          named.c_str());
}

void input_string::warn_mixed_case(const ByteCounts& counts) {
  std::string letters;
  for (int c = 'A'; c <= 'Z'; ++c)
    if (counts[c] != 0 && counts[c + 32] != 0) letters.push_back(static_cast<char>(c));
  if (letters.empty()) return;
  warning("the sequences hold both upper- and lower-case forms of the letters %s; they are "
          "different characters to the search (-format fasta and fastq fold them to upper case)",
          letters.c_str());
}

void input_string::test() {
  std::fprintf(report_file(), "\n# The input data test:\n#\n%d strings, total length %d\n", nr_sequences,
               length);
  if (verbose_level > 20) {
    std::fputs("Full catenated string, which example, and example class:\n", report_file());
    for (int p = 0; p < length; ++p) std::fputc(joined[p] != 0 ? joined[p] : '_', report_file());
    std::fputc('\n', report_file());
    for (int p = 0; p < length; ++p) std::fprintf(report_file(), "%d", seq_of(p));
    std::fputc('\n', report_file());
    for (int p = 0; p < length; ++p) std::fputc(class_of_seq[seq_of(p)], report_file());
  }
  if (verbose_level > 1) {
    std::fputs("\n\nPubstrings:\n", report_file());
    for (int k = 1; k <= nr_sequences; ++k) {
      charset->print(reinterpret_cast<const char*>(coded) + seq_end[k - 1] + 1);
      std::fprintf(report_file(), "\t%d\n", seq_end[k]);
    }
    std::fputs("Full catenated string, which example, and example class:\n", report_file());
    for (int p = 0; p < length; ++p) charset->print(static_cast<char>(coded[p]));
    std::fputc('\n', report_file());
    for (int p = 0; p < length; ++p) std::fprintf(report_file(), "%d", seq_of(p));
    std::fputc('\n', report_file());
    for (int p = 0; p < length; ++p)
      std::fputs(classes->class_name_short(class_of_seq[seq_of(p)]), report_file());
    std::fputs("\n\nFull public (mapped) string:\n", report_file());
    charset->print(reinterpret_cast<const char*>(coded), length);
    std::fputs("\n# End_of_input_test\n\n", report_file());
  }
}

void input_string::print(char code) { charset->print(code); }
void input_string::print(const char* s) { charset->print(s); }
void input_string::print(const char* s, int n) { charset->print(s, n); }
