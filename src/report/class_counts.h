#pragma once
// Occurrence counts per class: positions and distinct sequences of a set.

class SequenceIndex;

// What a count reads of the joined input.
struct ClassLookup {
  const SequenceIndex* seq_index = nullptr;
  const unsigned char* class_of_seq = nullptr;  // class slot of each sequence
  int nr_classes = 0;
  int domain = 0;  // positions of the joined string
};

// Counts the positions and distinct sequences of a position set per class
// slot into pos and seq (nr_classes + 2 slots each, cleared first; the last
// slot for all classes together); returns the distinct sequences in all.
int Count_Nr_of_Classes(const ClassLookup& lookup, const int* set, int* pos, int* seq);
