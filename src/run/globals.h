#pragma once
// Process-wide run settings. The driver assigns every default before parsing
// the command line; after validation no subsystem changes them, except the
// derived values set once by the trie and the search.

extern int verbose_level;
extern int minpos, minstrings, maxpos, maxstrings;
extern int onepos, onestr;
extern int minlevel, maxlevel;
extern int maxgrp;
extern int abandonequal;
extern int genorder;
extern int freq_set;
extern int nr_wc_allowed, shortest_wc_run, longest_wc_run;
extern int showsets, showratio;
extern float goodratio;
extern int minstringsinclass, minclass;
extern int reportduplicates;
extern int costf;
extern int min_gap, max_gap, max_gap_nr, no_gap_len, init_gap_len;
extern int only_print_if_gap_allowed;
extern double binomial_prob;
extern int min_strings_in_classes[257];

// Derived settings.
extern double binomial_prob_compare;  // |binomial_prob|, set when the trie is built
extern int show_occurrence_counts;    // set to 1 when the trie is built
extern int* total_string_count;       // input sequences per class slot, set by the search

// Assigns the documented default to every setting above except verbose_level.
void set_default_settings();
