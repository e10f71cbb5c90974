#pragma once
#include <string>
#include <utility>
#include <vector>

class SvgWriter;

// Sequence logos of the HTML report. A logo has one column per pattern
// element (a character, a group, a wildcard; a flexible gap and the element
// after it are one column, as in the table's `length`), built from the
// letters the sites matched at that element, and the -flank columns on
// each side, drawn lighter outside a frame around the pattern.

// One letter of a column: its frequency among the sites and its height in
// bits, frequency * information content of the column.
struct LetterHeight {
  char letter;
  double frequency;
  double bits;
};

struct ColumnProfile {
  double information = 0;            // bits, 0 .. log2 N
  std::vector<LetterHeight> letters;  // lowest first, the order they are stacked in
};

// The profile of a column given the letter each site matched there, for a
// run whose input uses `alphabet_letters` (N) characters: IC = log2 N - H,
// H = -sum f log2 f over the letters' frequencies f; never below 0.
ColumnProfile column_profile(const std::string& letters, int alphabet_letters);
// The same from the count of each letter (a column of a site matrix).
ColumnProfile column_profile(const std::vector<std::pair<char, long>>& counts, int alphabet_letters);

// A flank column lies next to the pattern, outside its frame.
enum class ElementKind { Character, Group, Wildcard, Flank };

struct LogoElement {
  ElementKind kind = ElementKind::Character;
  std::string label;       // as the pattern spells it: "A", "[ILVM]", "."
  bool gap_before = false;  // a flexible gap precedes the element
  int gap_min = 0, gap_max = 0;  // the gap lengths the sites show
  std::string letters;     // the letter each site matched here
  std::vector<std::pair<char, long>> counts;  // or how often each letter stands here
};

// Fill colour of a letter: the amino-acid chemistry scheme (hydrophobic
// black, polar green, amides purple, basic blue, acidic red) or the
// nucleotide one (A green, C blue, G orange, T/U red); grey otherwise.
const char* letter_colour(char letter, bool nucleotide);

// Draws `<svg class="logo" data-pattern=...>` with one `<g class="column">`
// per pattern element and a `<g class="flank">` per flank column; letters
// are SVG text of a fixed font size scaled vertically to their height.
// `css_class` names the drawing ("logo-background" for the small logo of
// the background's sites, drawn at `scale`).
void draw_logo(SvgWriter& svg, const std::string& pattern, const std::vector<LogoElement>& elements,
               int alphabet_letters, bool nucleotide, const char* css_class = "logo", double scale = 1.0);
