// The option table against what tells of it: --help is printed from the rows
// and the man page is written by hand, so a new row must reach both.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "run/options.h"

namespace {

std::string printed_by(void (*print)(std::FILE*)) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* stream = open_memstream(&buffer, &size);
  if (stream == nullptr) return {};
  print(stream);
  std::fclose(stream);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool part_of_word(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-'; }

// Whether `word` stands in `text` as a whole word: -max_gap must not pass
// for being named by -max_gap_nr, nor -version by --version.
bool names(const std::string& text, const std::string& word) {
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    const std::size_t after = at + word.size();
    if ((at == 0 || !part_of_word(text[at - 1])) && (after == text.size() || !part_of_word(text[after])))
      return true;
  }
  return false;
}

// roff writes a minus as "\-".
std::string in_roff(const std::string& word) {
  std::string out;
  for (char c : word) out += c == '-' ? std::string("\\-") : std::string(1, c);
  return out;
}

TEST(OptionTableHelp, EveryWordIsNamedByHelpAndByTheManPage) {
  const std::vector<OptionHelpRow> rows = option_help_rows();
  ASSERT_GT(rows.size(), 40u);
  const std::string help = printed_by(print_help);
  const std::string usage = printed_by(print_usage);
  const std::string man = read_file(std::string(MORVA_SOURCE_ROOT) + "/doc/morva.1");
  ASSERT_FALSE(man.empty()) << "doc/morva.1 not read";
  ASSERT_EQ(help.compare(0, usage.size(), usage), 0) << "--help begins with the usage text";

  for (const OptionHelpRow& row : rows) {
    // A second spelling without a synopsis is told of by the line it shares,
    // which the next test checks.
    const bool second_spelling = row.help.section != HelpSection::Usage && row.help.synopsis == nullptr;
    if (!second_spelling) {
      EXPECT_TRUE(names(help, row.word)) << row.word << " is not named by --help";
    }
    if (row.help.section == HelpSection::Usage) {
      EXPECT_TRUE(names(usage, row.word)) << row.word << " is placed in the usage text, which does not name it";
    }
    EXPECT_TRUE(names(man, in_roff(row.word))) << row.word << " is not documented in doc/morva.1";
  }
  // -ms belongs to -f and has no row of its own.
  EXPECT_TRUE(names(man, in_roff("-ms"))) << "-ms is not documented in doc/morva.1";
}

TEST(OptionTableHelp, RowsAreUniqueAndFurtherLinesAreWhole) {
  const std::vector<OptionHelpRow> rows = option_help_rows();
  const std::string help = printed_by(print_help);
  std::set<std::string> words;
  // Per section and line: the synopses joined as printed, and how many rows give the help.
  std::map<std::pair<HelpSection, int>, std::pair<std::string, int>> lines;
  for (const OptionHelpRow& row : rows) {
    // A second row of one word could never be reached: the first match decides.
    EXPECT_TRUE(words.insert(row.word).second) << row.word << " has two rows";
    if (row.help.section == HelpSection::Usage) {
      EXPECT_EQ(row.help.line, 0) << row.word;
      EXPECT_EQ(row.help.synopsis, nullptr) << row.word << ": the usage text is not printed from the rows";
      EXPECT_EQ(row.help.text, nullptr) << row.word;
      continue;
    }
    EXPECT_GE(row.help.line, 1) << row.word;
    auto& line = lines[{row.help.section, row.help.line}];
    if (row.help.synopsis != nullptr) {
      EXPECT_TRUE(names(row.help.synopsis, row.word)) << row.word << " is not in its own synopsis";
      line.first += (line.first.empty() ? "\t" : " ") + std::string(row.help.synopsis);
    }
    if (row.help.text != nullptr) ++line.second;
  }
  for (const auto& [where, line] : lines) {
    const std::string name = "line " + std::to_string(where.second) + " of section " +
                             std::to_string(static_cast<int>(where.first));
    EXPECT_FALSE(line.first.empty()) << name << " has no synopsis";
    EXPECT_EQ(line.second, 1) << name << " must have its help given by exactly one row";
    EXPECT_NE(help.find(line.first + " "), std::string::npos) << name << " is not printed: " << line.first;
  }
}

}  // namespace
