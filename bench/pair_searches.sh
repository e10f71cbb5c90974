#!/bin/bash
# The four searches of the benchmark log (plain, grouped, two gaps, wildcard
# runs) on protein_1M and protein_10M at 5 % support, timed with farm-bench:
# each new against each old run pair by pair, and each search of the new
# binary against its plain search, and the plain search on 10M against 1M.
# Prints the medians farm-bench gives (quote those, not single runs).
#
#   bench/pair_searches.sh OLD_MORVA NEW_MORVA [DATA_DIR]
#
# About 15 minutes on a 2-core machine; bench/compare_searches.sh checks
# that the two binaries write the same reports.
set -euo pipefail
old=$1 new=$2 data=${3:-/work/shared/data}
here=$(cd "$(dirname "$0")" && pwd)
declare -A extra=(
  [plain]=""
  [grouped]="-cf $here/amino_groups.charclass -maxgrp 2"
  [gaps]="-max_gap_nr 2 -min_gap 0 -max_gap 4 -no_gap_len 2 -init_gap_len 1"
  [wildcard]="-wc 2 -maxwc 3"
)
pairs() {  # the slow searches on the large corpus get three pairs
  if [ "$1" = protein_10M ] && { [ "$2" = gaps ] || [ "$2" = wildcard ]; }; then echo 3; else echo 5; fi
}
# pair LABEL RUNS BASELINE_COMMAND COMMAND...: COMMAND timed against BASELINE_COMMAND.
pair() {
  local label=$1 runs=$2 baseline=$3
  shift 3
  echo "== $label"
  farm-bench -n "$runs" --warmup 0 --timeout 900 --vs "$baseline" -- "$@" 2>&1 | grep -E "wall|peak MiB"
}
for corpus in protein_1M:135 protein_10M:1344; do
  name=${corpus%%:*} file=$data/${corpus%%:*}.txt ms=${corpus##*:}
  base="-f $file -minstrings $ms -maxlevel 12"
  for search in plain grouped gaps wildcard; do
    # shellcheck disable=SC2086
    pair "$name $search: new against old" "$(pairs "$name" "$search")" \
      "$old $base ${extra[$search]}" "$new" $base ${extra[$search]}
  done
  for search in grouped gaps wildcard; do
    # shellcheck disable=SC2086
    pair "$name $search: against the plain search of the new binary" "$(pairs "$name" "$search")" \
      "$new $base" "$new" $base ${extra[$search]}
  done
done
pair "plain search, protein_10M against protein_1M" 7 \
  "$new -f $data/protein_1M.txt -minstrings 135 -maxlevel 12" \
  "$new" -f "$data/protein_10M.txt" -minstrings 1344 -maxlevel 12
