#pragma once
#include <string>

class CHARSET;

// Searching both strands of DNA finds every pattern twice: as itself and as
// its reverse complement, with the same counts. The ranked results show the
// two as one row.

// The codes of the reverse complement of a pattern: its elements in reverse
// order, each complemented (a group by the group of its members'
// complements, a wildcard by itself), a flexible gap kept between the same
// two elements. Empty where an element has no complement in the character
// set.
std::string reverse_complement_codes(const CHARSET& charset, const std::string& codes);
