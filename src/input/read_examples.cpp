// Reading the sequence files: every file through one htslib source (plain,
// gzip, BGZF or standard input), in the line format or as FASTA/FASTQ
// records, into the reading tables and the class table.
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <string_view>

#include "input/input_string.h"
#include "input/reading.h"
#include "sets/sets.h"
#include "run/error.h"
#include "run/globals.h"
#include "run/memory_advice.h"
#include "run/report_stream.h"

namespace {

// The joined string, its lookups and the codes are indexed by int, and
// length + 2 entries must stay addressable.
constexpr std::size_t kMaxJoinedLength = SequenceTable::kMaxJoinedLength;
static_assert(kMaxJoinedLength == std::numeric_limits<int>::max() - 2, "int-indexed joined string");

// Room for every file at once, so the table grows without copying; a size
// that cannot be known (a pipe, a compressed file) just leaves the growth
// to the vector.
void reserve_for(char** files, SequenceTable& table) {
  std::vector<unsigned char>& text = table.text;
  std::size_t total = text.size() + 2;
  for (int f = 1; files[f] != nullptr; ++f) {
    struct stat st;
    if (std::strcmp(files[f], "-") != 0 && stat(files[f], &st) == 0 && S_ISREG(st.st_mode))
      total += static_cast<std::size_t>(st.st_size) * static_cast<std::size_t>(table.strands);
  }
  // Never more than the limit lets the sequences take: a file too large
  // for it fails while being read, not with memory held in advance.
  if (total > table.max_length + 2) total = table.max_length + 2;
  try {
    text.reserve(total);
    advise_huge_pages(text.data(), text.capacity());
  } catch (const std::bad_alloc&) {
    // Reading will report the shortage if the sequences really need it.
  }
}

const char kByteOrderMark[] = "\xEF\xBB\xBF";

// One warning per class that holds identical sequences: they count as
// several sequences, inflating the support of every pattern they hold.
void report_copies(const CopyIndex& index, const input_classes& classes, bool dedup) {
  for (int c = 0; c <= classes.nr_classes; ++c) {
    const long copies = index.copies[c];
    if (copies == 0) continue;
    const char* name = classes.class_name(c);
    if (!dedup) {
      warning("class %s: %ld %s; -dedup keeps one of each", name, copies,
              copies == 1 ? "sequence is a copy of another in the class"
                          : "sequences are copies of others in the class");
      continue;
    }
    std::string named;
    for (const std::string& id : index.dropped[c]) named += (named.empty() ? "" : ", ") + id;
    const long unnamed = copies - static_cast<long>(index.dropped[c].size());
    if (unnamed > 0) named += " and " + std::to_string(unnamed) + " more";
    warning("class %s: -dedup dropped %ld %s read before in the class: %s", name, copies,
            copies == 1 ? "copy of a sequence" : "copies of sequences", named.c_str());
  }
}

}  // namespace

void SequenceTable::add(const char* sequence, std::size_t n, unsigned char class_nr) {
  // Every strand of it checked at once, so that the message counts them all.
  const std::size_t need = (n + 1) * static_cast<std::size_t>(strands);
  if (need > max_length - std::min(max_length, text.size())) too_long(need);
  add_strand(sequence, n);
  try {
    classes.push_back(class_nr);
  } catch (const std::bad_alloc&) {
    error("Allocation of new string failed");
  }
}

std::size_t SequenceTable::room() const {
  const std::size_t free = max_length > text.size() ? max_length - text.size() : 0;
  const std::size_t per_strand = free / static_cast<std::size_t>(strands);
  return per_strand > 0 ? per_strand - 1 : 0;
}

void SequenceTable::too_long(std::size_t adding) const {
  fatal("the input is too large: with sequence %d it would take at least %zu positions, and 32-bit "
        "positions hold at most %zu (every sequence takes its letters and a separator, on each "
        "strand searched)",
        count() + 1, text.size() + adding, max_length);
}

void SequenceTable::add_strand(const char* strand, std::size_t n) {
  if (n + 1 > max_length - std::min(max_length, text.size())) too_long(n + 1);
  try {
    const std::size_t at = text.size();
    text.resize(at + n + 1);
    std::memcpy(text.data() + at, strand, n);
    text[at + n] = 0;
  } catch (const std::bad_alloc&) {
    error("Allocation of new string failed");
  }
}

std::string printable(unsigned char c) {
  char text[8];
  if (c > 0x20 && c < 0x7f)
    std::snprintf(text, sizeof text, "%c", c);
  else
    std::snprintf(text, sizeof text, "\\x%02X", c);
  return text;
}

namespace {

// Whether s[0..n) equals the forward strand of a sequence read before in
// class `class_nr`; `hash` is set for recording the sequence.
bool is_copy(const ReadState& state, const char* s, std::size_t n, int class_nr,
             std::uint64_t& hash) {
  const CopyIndex& index = state.copies;
  hash = std::hash<std::string_view>{}(std::string_view(s, n)) ^
         (static_cast<std::uint64_t>(class_nr) * 0x9E3779B97F4A7C15ULL);
  // Only the first of equal sequences is in the index (a copy adds no entry),
  // so a hash has as many entries as distinct sequences share it: a run of
  // copies stays one comparison each instead of one per earlier copy.
  const auto range = index.by_hash.equal_range(hash);
  for (auto it = range.first; it != range.second; ++it) {
    const std::size_t k = static_cast<std::size_t>(it->second);
    if (state.table.classes[k] == class_nr && index.lengths[k] == n &&
        std::memcmp(state.table.text.data() + index.starts[k], s, n) == 0)
      return true;
  }
  return false;
}

}  // namespace

void add_sequence(ReadState& state, FileRead& file, const char* sequence, std::size_t n,
                  const char* class_text, const char* name, std::size_t line) {
  const int class_nr = state.classes.add_class_name(class_text);
  std::uint64_t hash = 0;
  const bool copy = is_copy(state, sequence, n, class_nr, hash);
  if (copy) {
    ++state.copies.copies[class_nr];
    if (state.options.dedup) {
      // Dropped before it enters any table: counts, sites and result files
      // never see it.
      std::vector<std::string>& dropped = state.copies.dropped[class_nr];
      if (dropped.size() < kDroppedNamed)
        dropped.push_back(name != nullptr ? std::string(name)
                                          : std::string(file.name) + ":" + std::to_string(line));
      return;
    }
  }
  try {
    if (!copy) state.copies.by_hash.emplace(hash, state.table.count());
    state.copies.starts.push_back(state.table.text.size());
    state.copies.lengths.push_back(n);
  } catch (const std::bad_alloc&) {
    error("Allocation of new string failed");
  }
  state.table.add(sequence, n, static_cast<unsigned char>(class_nr));
  if (state.options.revcomp) {
    const std::size_t bad = reverse_complement(sequence, n, state.strand);
    if (bad != n)
      fatal("-revcomp: %s, sequence %s: the letter '%s' has no complement", file.name,
            name != nullptr ? name : ("in line " + std::to_string(line)).c_str(),
            printable(static_cast<unsigned char>(sequence[bad])).c_str());
    state.table.add_strand(state.strand.data(), n);
  }
  try {
    if (name != nullptr)
      state.table.ids.add(name, std::strlen(name));
    else
      state.table.ids.add_number(static_cast<std::uint32_t>(line));
    state.table.files.push_back(static_cast<unsigned char>(file.number));
  } catch (const std::bad_alloc&) {
    error("Allocation of new string failed");
  }

  if (verbose_level >= 1 && verbose_level <= 3) {
    std::fputc('.', chatter_file());
  } else if (verbose_level > 3) {
    std::fprintf(report_file(), "EX:\t%d\t%.*s\n", state.sequences, static_cast<int>(n), sequence);
    // The class's own name: nr_classes is not known yet, so class_name()
    // could mistake the newest class for the TOTAL slot.
    std::fprintf(report_file(), "CL: %s\n", state.classes.names[class_nr]->c_str());
  }
  ++state.sequences;
  ++file.sequences;
  state.progress.sequence(file.name, state.sequences, state.table.text.size());
}

int input_string::read_examples(char** files) {
  std::fputs("YESS: reached input_string::read_examples( char** filename_array ) \n", chatter_file());
  reading_ = SequenceTable();
  reading_.strands = options_.revcomp ? 2 : 1;
  static_assert(static_cast<std::size_t>(kMaxSetDomain) == SequenceTable::kMaxJoinedLength,
                "the position sets take every position of the largest joined input");
  reserve_for(files, reading_);
  ReadState state{reading_, *classes, options_, 0, {}, {}};
  bool stdin_read = false;
  records_only_ = true;
  for (int f = 1; files[f] != nullptr; ++f) {
    FileRead file{files[f], f, {}, 0, 0};
    std::snprintf(file.file_class, sizeof file.file_class, "%d", f);
    if (verbose_level > 1) std::fprintf(report_file(), "# Start reading input file %s\n", file.name);
    if (std::strcmp(file.name, "-") == 0) {
      if (stdin_read) fatal("standard input (-f -) can be read only once");
      stdin_read = true;
    }
    int why = 0;
    std::unique_ptr<SequenceSource> source = SequenceSource::open(file.name, &why);
    if (!source) {
      // The classic message gives no reason; the line before it does.
      warning("%s: %s", file.name, why != 0 ? std::strerror(why) : "cannot be read");
      error("Can't open input file ", file.name);
    }

    if (source->head_size() >= 3 && std::memcmp(source->head(), kByteOrderMark, 3) == 0) {
      source->skip(3);
      warning("%s: skipped the UTF-8 byte-order mark at its start", file.name);
    }
    InputFormat format = options_.format;
    if (format == InputFormat::Auto) format = source->detect();
    if (format == InputFormat::Lines) {
      records_only_ = false;
      read_line_file(state, file, *source);
    } else {
      read_record_file(state, file, *source, format);
    }
    if (source->failed()) {
      // The classic message gives no reason; the line before it does.
      warning("%s: %s", file.name, source->failure().c_str());
      error("Can't read input file", file.name);
    }
    if (source->missing_eof_marker())
      warning("%s: the BGZF file has no end-of-file marker: it may have been cut short", file.name);

    if (file.empty > 0)
      warning("%s: skipped %ld %s that would give an empty sequence", file.name, file.empty,
              format == InputFormat::Lines ? (file.empty == 1 ? "line" : "lines")
                                           : (file.empty == 1 ? "record" : "records"));
    if (file.sequences == 0) {
      if (options_.classes_are_compared)
        fatal("input file %s holds no sequence: the classes compared by -showratio, -goodratio "
              "and -binomial_prob would be other files than given",
              file.name);
      warning("input file %s holds no sequence", file.name);
    }
  }

  state.progress.done(state.sequences, reading_.text.size());
  const int n_classes = classes->countclasses();
  classes->nr_classes = n_classes;
  std::fprintf(chatter_file(), "# Read in total %d examples belonging to %d target classes\n",
               state.sequences, n_classes);
  report_copies(state.copies, *classes, options_.dedup);
  classes->test();
  return state.sequences;
}
