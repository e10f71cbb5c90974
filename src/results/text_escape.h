#pragma once
// Text from the input (identifiers, file and class names, pattern letters)
// as each result format can carry it: names may hold any byte, and a tab or
// a line end would break a table's rows, an invalid UTF-8 byte a page or a
// JSON reader.
#include <cstddef>
#include <string>

// The length of the valid UTF-8 character that starts s[0..n): 1 to 4, or 0
// when the bytes there are no valid sequence (overlong forms, surrogates and
// code points past U+10FFFF are not valid).
std::size_t utf8_length(const unsigned char* s, std::size_t n);

// A field of a tab-separated file: backslash, tab, line feed and carriage
// return as \\, \t, \n and \r, every other control byte (below 0x20, and
// 0x7F) as \xNN; all other bytes as they are. Text without such a byte is
// returned unchanged.
void append_tsv_field(std::string& out, const std::string& text);
std::string tsv_field(const std::string& text);

// A word of a format that separates its fields with blanks (the names of the
// MEME motif format): as a tab-separated field, and a blank as \x20, so that
// the word stays one word and no control byte reaches a terminal.
std::string blank_free_field(const std::string& text);

// A JSON string with its quotes: valid UTF-8 as it is, '"' and '\' escaped,
// control bytes as \u00XX, and each byte of an invalid sequence as \u00XX
// (the Latin-1 character of that byte, which is what such a byte most
// likely meant).
std::string json_string(const std::string& text);
