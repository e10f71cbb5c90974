#include "run/globals.h"

int verbose_level = 0;
int minpos, minstrings, maxpos, maxstrings;
int onepos, onestr;
int minlevel, maxlevel;
int maxgrp;
int abandonequal;
int genorder;
int freq_set;
int nr_wc_allowed, shortest_wc_run, longest_wc_run;
int showsets, showratio;
float goodratio;
int minstringsinclass, minclass;
int reportduplicates;
int costf;
int min_gap, max_gap, max_gap_nr, no_gap_len, init_gap_len;
int only_print_if_gap_allowed;
double binomial_prob;
int min_strings_in_classes[257];

double binomial_prob_compare = 0.0;
int show_occurrence_counts = 0;
int* total_string_count = nullptr;

void set_default_settings() {
  minpos = 0;
  minstrings = 0;
  maxpos = 0;
  maxstrings = 0;
  onepos = 0;
  onestr = 0;
  minlevel = 0;
  maxlevel = 20;
  maxgrp = 0;
  abandonequal = 0;
  genorder = 0;
  freq_set = 0;
  nr_wc_allowed = 0;
  shortest_wc_run = 1;
  longest_wc_run = 1;
  showsets = 0;
  showratio = 0;
  goodratio = 0.0f;
  minstringsinclass = 0;
  minclass = 0;
  reportduplicates = 1;
  costf = 0;
  min_gap = 0;
  max_gap = 2;
  max_gap_nr = 0;
  no_gap_len = 1;
  init_gap_len = 0;
  only_print_if_gap_allowed = 0;
  binomial_prob = 0.0;
  for (int& m : min_strings_in_classes) m = 0;
}
