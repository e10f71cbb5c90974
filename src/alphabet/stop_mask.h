#pragma once
#include <string>

#include "alphabet/charset.h"

// Characters that are no residues (stop codons, unknown residues) made STOP
// characters of a generated character set, so that no pattern holds them.

// What the letters of the input look like, case folded: DNA or RNA when
// every letter is a nucleotide or an IUPAC code (A C G T U N R Y S W K M B
// D H V), protein when some other letter occurs, Unknown without letters.
// Other characters ('*', digits) do not take part.
enum class ResidueKind { Unknown, Dna, Protein };
ResidueKind residue_kind(const ByteCounts& counts);

// The characters masked when -mask is not given, for FASTA and FASTQ input:
// '*' and the unknown residue of the kind (N in DNA, X in protein).
std::string default_mask(const ByteCounts& counts);

// Whether a generated character-set file can list `c` in its STOP line:
// one printable ASCII byte that does not start a comment ('#').
bool maskable(unsigned char c);
