#!/usr/bin/env bash
# Start-up: the time from process start to the first painted CPU gauge, under
# Wine with both stand-ins (bench/startup_probe.cpp: the monitor with a watch
# thread that reads the gauge's pixels). Counted from the Windows process's
# creation and, more strictly, from the moment this script starts wine.
# Prints a markdown table of medians over REPEATS runs.
#   bench/startup.sh [repeats]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
repeats=${1:-5}
goal_ms=1200

bench_build windows startup_probe coredll libnvrm
bench_wine_start
cd "$bin"
runs=$(mktemp)
echo "load average before: $(load_average)"
for run in $(seq "$repeats"); do
  launched_us=$(( $(date +%s%6N) ))
  out=$(wine ./startup_probe.exe | tr -d '\r')
  painted_us=$(awk '$1 == "paint-unix-us" { print $2 }' <<<"$out")
  [ -n "$painted_us" ] || { echo "run $run: the gauge was never painted" >&2; exit 1; }
  line="$(awk '$1 == "since-creation-ms" { c = $2 } $1 == "entry-ms" { e = $2 } $1 == "sheet-ms" { s = $2 }
               END { print c, e, s }' <<<"$out") $(( (painted_us - launched_us) / 1000 ))"
  echo "run $run: since creation, entry, sheet, since launch (ms): $line"
  echo "$line" >>"$runs"
done
echo "load average after: $(load_average)"

col() { awk -v f="$1" '{ print $f }' "$runs" | median; }
creation=$(col 1); launch=$(col 4)
echo
echo "| start-up, median of $repeats | ms | goal |"
echo "|---|---|---|"
echo "| process creation to first painted CPU gauge | $creation | <= $goal_ms: $(awk -v v="$creation" -v g="$goal_ms" 'BEGIN { print (v <= g ? "met" : "NOT met") }') |"
echo "| wine started to first painted CPU gauge | $launch | <= $goal_ms: $(awk -v v="$launch" -v g="$goal_ms" 'BEGIN { print (v <= g ? "met" : "NOT met") }') |"
echo "| process creation to the program's entry (Wine's own start) | $(col 2) | |"
echo "| process creation to the sheet's window | $(col 3) | |"
echo "| the program's entry to the first paint (the first sample is due 1000 ms after the sampler starts) | $(awk -v c="$creation" -v e="$(col 2)" 'BEGIN { printf "%.1f", c - e }') | |"
rm -f "$runs"
