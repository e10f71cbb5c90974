#pragma once
#include <string>

#include "alphabet/group_presets.h"
#include "input/sequence_source.h"

// How the sequence files are read: the options of the input stage beyond
// the file list and the character-set file.
struct InputOptions {
  InputFormat format = InputFormat::Lines;
  // Search both strands: every sequence is followed by its reverse
  // complement, counted as the same sequence.
  bool revcomp = false;
  // Groups added to a generated character set.
  GroupPreset groups = GroupPreset::None;
  // The run compares classes 1 and 2 (ratio, binomial test): an input file
  // without sequences would silently shift the classes, so it is refused.
  bool classes_are_compared = false;
  // -mask: characters made STOP characters of a generated character set.
  // Without -mask (mask_given false) FASTA and FASTQ input masks '*' and the
  // unknown residue of its kind (N in DNA, X in protein); an empty -mask
  // masks nothing.
  bool mask_given = false;
  std::string mask;
  // -dedup: within a class, only the first of identical sequences is read.
  bool dedup = false;
  // -progress: lines on standard error while the files are read.
  bool progress = false;
};
