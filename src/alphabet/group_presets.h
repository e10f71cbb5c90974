#pragma once
#include <string>

#include "alphabet/charset.h"

// Character groups that a generated character set can be given (-groups).
enum class GroupPreset { None, Protein, Dna };

// Parses the value of -groups; false for a word that names no preset.
bool parse_group_preset(const char* text, GroupPreset& preset);

// The "g=" lines of a preset for input of these byte counts: each group with
// the members the input holds (upper case where present, else lower case),
// left out when fewer than two remain, since the alphabet must hold every
// member of a group. Empty for GroupPreset::None.
std::string preset_group_lines(GroupPreset preset, const ByteCounts& counts);
