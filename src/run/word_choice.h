#pragma once
#include <cstring>
#include <string>
#include <utility>
#include <vector>

// The value an option word names, from a table of (word, value) rows:
// false, and `value` untouched, for a word the table does not hold.
template <typename T, std::size_t N>
bool choose_word(const char* text, const std::pair<const char*, T> (&rows)[N], T& value) {
  for (const auto& row : rows) {
    if (std::strcmp(text, row.first) == 0) {
      value = row.second;
      return true;
    }
  }
  return false;
}

// Words as a message lists them: "-a", "-a and -b", "-a, -b and -c".
inline std::string word_list(const std::vector<const char*>& words) {
  std::string list;
  for (std::size_t i = 0; i < words.size(); ++i)
    list += std::string(i == 0 ? "" : i + 1 == words.size() ? " and " : ", ") + words[i];
  return list;
}
