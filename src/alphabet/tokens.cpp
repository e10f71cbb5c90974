#include "alphabet/tokens.h"

#include <cctype>
#include <cstring>
#include <new>

#include "run/error.h"

namespace {
bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
}  // namespace

char* tokens(char* line) {
  // Tokens move left; the separator after a token is consumed before its
  // place can be overwritten by the token's zero, so no unread byte is lost.
  const size_t n = std::strlen(line);
  size_t in = 0, out = 0;
  while (in < n) {
    while (in < n && is_space(line[in])) ++in;
    if (in >= n || line[in] == '#') break;
    const size_t start = in;
    while (in < n && !is_space(line[in])) ++in;
    std::memmove(line + out, line + start, in - start);
    out += in - start;
    if (in < n) ++in;
    line[out++] = '\0';
  }
  line[out] = '\0';
  return line;
}

const char* next_token(const char* token) {
  if (*token == '\0') return token;
  return token + std::strlen(token) + 1;
}

std::string newstring(const char* text) {
  try {
    return std::string(text);
  } catch (const std::bad_alloc&) {
    error("Couldn't allocate memory for string ", text);
  }
}
