// The sequence readers: the fuzz bytes become one or two sequence files read
// in the format the first byte picks, plain or gzip-compressed, on one or
// both strands, with the character set generated under a scratch name.
//
// First byte: bits 0-1 format (lines, fasta, fastq, auto), bit 2 -revcomp,
// bit 3 gzip, bits 4-5 -groups (none, protein, dna), bit 6 split the rest
// into two files at its middle, bit 7 classes are compared.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_common.h"
#include "input/input_string.h"
#include "run/error.h"
#include "run/globals.h"

namespace {

bool write_gzip(const std::string& path, const unsigned char* data, std::size_t size) {
  gzFile gz = gzopen(path.c_str(), "wb");
  if (gz == nullptr) return false;
  const int written = size == 0 ? 0 : gzwrite(gz, data, static_cast<unsigned>(size));
  return gzclose(gz) == Z_OK && static_cast<std::size_t>(written) == size;
}

// Every joined-string invariant the search relies on.
void check(const input_string& in) {
  if (in.length < 1 || in.joined.size() < static_cast<std::size_t>(in.length) + 2) __builtin_trap();
  if (in.coded[0] != 0 || in.coded[in.length] != 0 || in.coded[in.length + 1] != 0) __builtin_trap();
  if (static_cast<int>(in.seq_end.size()) < in.nr_sequences + 1) __builtin_trap();
  int previous = 0;
  for (int k = 1; k <= in.nr_sequences; ++k) {
    const int end = in.seq_end[k];
    if (end <= previous || end >= in.length || in.coded[end] != 0) __builtin_trap();
    for (int p = previous + 1; p <= end; ++p) {
      if (in.seq_of(p) != k) __builtin_trap();
      if (p < end && in.coded[p] == 0 && in.strands == 1) __builtin_trap();
      if (in.coded[p] > in.charset->alphabet_size) __builtin_trap();
    }
    previous = end;
  }
  if (previous != in.length - 1 && in.nr_sequences > 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::silence_standard_streams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 64 * 1024) return 0;
  const unsigned flags = data[0];
  ++data;
  --size;

  InputOptions options;
  static const InputFormat kFormats[] = {InputFormat::Lines, InputFormat::Fasta,
                                         InputFormat::Fastq, InputFormat::Auto};
  static const GroupPreset kGroups[] = {GroupPreset::None, GroupPreset::Protein, GroupPreset::Dna,
                                        GroupPreset::None};
  options.format = kFormats[flags & 3];
  options.revcomp = (flags & 4) != 0;
  options.groups = kGroups[(flags >> 4) & 3];
  options.classes_are_compared = (flags & 128) != 0;
  const bool gzip = (flags & 8) != 0;
  const bool two_files = (flags & 64) != 0;

  const std::string dir = fuzz::scratch_dir();
  const std::string first = dir + "/a.seq";
  const std::string second = dir + "/b.seq";
  const std::string charset = dir + "/gen.charclass";
  const std::size_t cut = two_files ? size / 2 : size;
  auto put = [gzip](const std::string& path, const unsigned char* bytes, std::size_t n) {
    return gzip ? write_gzip(path, bytes, n) : fuzz::write_file(path, bytes, n);
  };
  if (!put(first, data, cut) || (two_files && !put(second, data + cut, size - cut))) {
    fuzz::clear_scratch_dir();
    return 0;
  }

  char* files[4] = {nullptr, const_cast<char*>(first.c_str()),
                    two_files ? const_cast<char*>(second.c_str()) : nullptr, nullptr};
  set_default_settings();
  verbose_level = 0;
  const fuzz::FdWatch fds;
  try {
    auto input = std::make_unique<input_string>(files, charset.c_str(), 0, options);
    check(*input);
  } catch (const FatalError&) {
  }
  fds.close_new();
  fuzz::clear_scratch_dir();
  return 0;
}
