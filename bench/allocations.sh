#!/usr/bin/env bash
# Heap allocations per cycle after warm-up: every allocation call the
# monitor's modules (the program, coredll.dll, libnvrm.dll) make through
# their import tables, counted under Wine over a steady stretch of the long
# run (tests/wine/endurance_test.cpp): the real sheet, both pages in turn,
# the record of /l on. The counts are exact, so one run; prints a markdown table.
#   bench/allocations.sh
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$root"
bench_build windows wine_tests
echo
echo "| module | what is counted | cycles | allocation calls | goal |"
echo "|---|---|---|---|---|"
bench_wine_start
(cd "$bin" && SELVANE_LONG_RUN_CYCLES=100 wine ./wine_tests.exe --gtest_filter='LongRun.*' 2>&1) | tr -d '\r' |
  sed -n 's/^allocation calls in \([0-9]*\) cycles from \(.*\): \([0-9]*\)$/\1|\2|\3/p' |
  awk -F'|' '{ printf "| %s | allocation calls through its imports | %s | %s | 0: %s |\n", $2, $1, $3, ($3 == 0 ? "met" : "NOT met") }'
