#pragma once
#include <cstring>
#include <utility>

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
