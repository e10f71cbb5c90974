#pragma once
#include <string>

// Cuts a line of a character-set file into its tokens, in place: the tokens,
// each followed by one zero byte, then one more zero byte, so that an empty
// token ends the list. Tokens are separated by white space; a '#' that begins
// a token starts a comment running to the end of the line (a '#' inside a
// token is an ordinary character).
// The rewritten line can be one byte longer than the original text plus its
// terminator (a last token that ends the line needs two zeros), so the buffer
// must hold at least strlen(line) + 2 bytes. Returns `line`.
char* tokens(char* line);

// The token after `token` in a list made by `tokens`; an empty token stays
// where it is, so asking past the end keeps giving the empty text.
const char* next_token(const char* token);

// A private copy of `text`; ends the run when no storage can be had.
std::string newstring(const char* text);
