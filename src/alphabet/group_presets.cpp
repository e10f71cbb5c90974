#include "alphabet/group_presets.h"
#include "run/word_choice.h"

#include <cctype>
#include <cstring>
#include <iterator>

namespace {

struct PresetGroup {
  const char* members;
  const char* meaning;
};

// Common substitution groups of amino acids: residues that often replace
// one another in families, so that a motif survives conservative changes.
const PresetGroup kProteinGroups[] = {
    {"ILVM", "hydrophobic aliphatic"}, {"FWY", "aromatic"}, {"KRH", "basic"},
    {"DE", "acidic"},                  {"ST", "hydroxyl"},  {"NQ", "amide"},
    {"AGS", "small"},
};

// The IUPAC two-base codes.
const PresetGroup kDnaGroups[] = {
    {"AG", "R, purine"},  {"CT", "Y, pyrimidine"}, {"CG", "S, strong"},
    {"AT", "W, weak"},    {"GT", "K, keto"},       {"AC", "M, amino"},
};

// The member as the input holds it: T stands in for U and the other way
// round, so that the DNA groups fit RNA too.
char present_form(char member, const ByteCounts& counts) {
  const char alternatives[] = {member, member == 'T' ? 'U' : member == 'U' ? 'T' : member};
  for (char c : alternatives) {
    const unsigned char upper = static_cast<unsigned char>(c);
    const unsigned char lower = static_cast<unsigned char>(std::tolower(upper));
    if (counts[upper] != 0) return static_cast<char>(upper);
    if (counts[lower] != 0) return static_cast<char>(lower);
  }
  return '\0';
}

}  // namespace

bool parse_group_preset(const char* text, GroupPreset& preset) {
  static const std::pair<const char*, GroupPreset> kPresets[] = {
      {"protein", GroupPreset::Protein}, {"dna", GroupPreset::Dna}, {"none", GroupPreset::None}};
  return choose_word(text, kPresets, preset);
}

std::string preset_group_lines(GroupPreset preset, const ByteCounts& counts) {
  const PresetGroup* begin = nullptr;
  const PresetGroup* end = nullptr;
  const char* title = "";
  if (preset == GroupPreset::Protein) {
    begin = std::begin(kProteinGroups), end = std::end(kProteinGroups);
    title = "amino-acid substitution groups";
  } else if (preset == GroupPreset::Dna) {
    begin = std::begin(kDnaGroups), end = std::end(kDnaGroups);
    title = "IUPAC two-base codes";
  } else {
    return "";
  }
  std::string lines = std::string("\n# Groups added by -groups: ") + title + "\n";
  for (const PresetGroup* g = begin; g != end; ++g) {
    std::string members;
    for (const char* m = g->members; *m; ++m) {
      const char c = present_form(*m, counts);
      if (c != '\0' && members.find(c) == std::string::npos) members.push_back(c);
    }
    if (members.size() < 2) continue;
    lines += "# " + std::string(g->meaning) + "\ng= " + members + "\n";
  }
  return lines;
}
