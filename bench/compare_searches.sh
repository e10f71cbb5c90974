#!/bin/bash
# The four searches of the benchmark log (plain, grouped, two gaps, wildcard
# runs) on protein_1M and protein_10M at 5 % support, one run each of an old
# and a new binary: wall seconds and peak KiB (GNU time), and whether the two
# reports are the same bytes (the banner's build date aside).
#
#   bench/compare_searches.sh OLD_MORVA NEW_MORVA [DATA_DIR]
#
# Run from bench/ (it needs amino_groups.charclass) or give the data dir.
set -euo pipefail
old=$1 new=$2 data=${3:-/work/shared/data}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for corpus in protein_1M:135 protein_10M:1344; do
  file=$data/${corpus%%:*}.txt ms=${corpus##*:}
  for scenario in "plain:" "grouped:-cf $here/amino_groups.charclass -maxgrp 2" \
      "gaps:-max_gap_nr 2 -min_gap 0 -max_gap 4 -no_gap_len 2 -init_gap_len 1" "wildcard:-wc 2 -maxwc 3"; do
    name=${scenario%%:*} extra=${scenario#*:}
    for which in old new; do
      binary=$old; [ "$which" = new ] && binary=$new
      # shellcheck disable=SC2086
      (cd "$work" && /usr/bin/time -f "%e %M" -o time.txt "$binary" -f "$file" -minstrings "$ms" \
        -maxlevel 12 $extra > "report.$which" 2>/dev/null)
      echo "${corpus%%:*} $name $which $(cat "$work/time.txt")"
    done
    if cmp -s <(grep -v '^# Version' "$work/report.old") <(grep -v '^# Version' "$work/report.new"); then
      echo "  same report"
    else
      echo "  REPORTS DIFFER"
    fi
  done
done
