#!/usr/bin/env bash
# The sampling cycle's parts under Wine (bench/cycle_probe.cpp): the toolhelp
# walk beside the process pass's own work, the page cycles and the drawing
# calls, as the thread's wall time and CPU time per run, in microseconds.
# Prints a markdown table of medians over REPEATS runs of the probe.
#   bench/wine_cycle.sh [repeats] [samples per run] [extra processes]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
repeats=${1:-3}
samples=${2:-300}
extra=${3:-0}

bench_build windows cycle_probe coredll libnvrm worker
bench_wine_start
cd "$bin"
runs=$(mktemp)
echo "load average before: $(load_average)"
for run in $(seq "$repeats"); do
  wine ./cycle_probe.exe "$samples" "$extra" | tr -d '\r' >>"$runs"
done
echo "load average after: $(load_average)"

wall() { awk -v k="$1" '$1 == k { print $2 }' "$runs" | median; }
cpu() { awk -v k="$1" '$1 == k { print $3 }' "$runs" | median; }
echo
echo "Processes listed by each walk: $(awk '$1 == "processes" { print $2 }' "$runs" | median). Medians of $repeats runs of $samples samples."
echo
echo "| part | wall time per run | CPU time per run (the monitor's thread) |"
echo "|---|---|---|"
for part in walk count records-size process-reads pass own idle-cycle performance-cycle processes-cycle cpu-gauge cpu-history mem-gauge \
            mem-history status-text total; do
  echo "| $part | $(wall "$part") us | $(cpu "$part") us |"
done
echo
awk -v w="$(wall walk)" -v o="$(wall own)" -v cw="$(cpu walk)" -v co="$(cpu own)" 'BEGIN {
  printf "| ratio | wall | CPU |\n|---|---|---|\n"
  printf "| the pass'"'"'s own work / the walk | %.2f | %.2f |\n", o / w, (cw > 0 ? co / cw : 0) }'
rm -f "$runs"
