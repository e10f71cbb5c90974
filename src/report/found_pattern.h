#pragma once
// A pattern the search took from its queue, as the search hands it to the
// report: everything the acceptance tests and the report line read, so that
// the report knows nothing of the trie it came from.

// The pattern's position set (a list or a bit array of the joined string's
// positions), fetched only when asked for: most patterns are judged on their
// counts alone, and the search may hold a set packed until then.
struct PositionSource {
  const int* (*fetch)(void* owner, const void* pattern) = nullptr;
  void* owner = nullptr;
  const void* pattern = nullptr;

  // Valid until the search goes on to another pattern.
  const int* get() const { return fetch(owner, pattern); }
};

struct FoundPattern {
  const char* codes = nullptr;  // first position first, 0-terminated
  int level = 0;                // pattern positions (a flexible gap and its element are one)
  int gap_count = 0;            // positions placed since the start or the last gap
  float cost = 0;
  // Per class slot 0..K+1, slot K+1 all classes together.
  const int* seqs = nullptr;       // distinct sequences holding the pattern
  const int* positions = nullptr;  // its occurrences
  PositionSource set;
  // The set comes as a list unpacked from the search's packed form, where
  // the registry keeps a set of its size as a list or a bit array
  // (Sets::prefers_list): -showsets shows it in that form.
  bool shown_by_size = false;
};
