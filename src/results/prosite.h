#pragma once
#include <string>

class CHARSET;

// A pattern as PROSITE writes one, so that it can be pasted into the
// pattern-search tools of the field: elements joined by '-', a character as
// itself, a group as [...] of its members, a wildcard run as x or x(n), a
// flexible gap as x(a,b) (x(n) where its bounds are equal) before the
// element that follows it: G-x(4)-G-K-[ST]. PROSITE names residues by the
// upper-case letters A to Z alone: a pattern with any other character (a
// digit, '<', '&', a lower-case 'x' that would read as "any", a control
// byte) has no PROSITE spelling, and the result is empty.
std::string prosite_spelling(const CHARSET& charset, const std::string& codes, int min_gap, int max_gap);
