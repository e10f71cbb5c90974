// The character-set file reader on arbitrary file text, then the tables and
// printers a run uses on the set it read.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "alphabet/charset.h"
#include "fuzz_common.h"
#include "run/error.h"
#include "run/globals.h"

namespace {

void exercise(const CHARSET& set_in) {
  CHARSET& set = const_cast<CHARSET&>(set_in);
  // Every code the set defines must print and spell, and the alphabet must
  // code back to 1..alphabet_size.
  std::string codes;
  for (int c = 1; c <= set.total_codes; ++c) codes.push_back(static_cast<char>(c));
  set.print(codes.c_str());
  (void)set.spell(codes);
  std::string text = set.alphabet;
  if (set.mapstring(&text[0], static_cast<int>(text.size())) != 0) __builtin_trap();
  for (std::size_t i = 0; i < text.size(); ++i)
    if (static_cast<unsigned char>(text[i]) != i + 1) __builtin_trap();
  set.test();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::silence_standard_streams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  set_default_settings();
  // Both with and without the automatic wildcard group, and with the
  // listing: the byte count picks, so an input reproduces alone.
  nr_wc_allowed = size % 2;
  verbose_level = size % 3 == 0 ? 3 : 0;
  max_gap_nr = size % 5 == 0 ? 1 : 0;
  try {
    auto set = std::make_unique<CHARSET>("fuzz.charclass", text);
    exercise(*set);
  } catch (const FatalError&) {
  }
  verbose_level = 0;
  return 0;
}
