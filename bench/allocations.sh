#!/usr/bin/env bash
# Heap allocations per cycle after warm-up:
#   - natively, every allocation (malloc and its kin replaced by counters)
#     around 1000 cycles of the pure work, for 1, 2 and 4 processors and 32
#     and 1024 processes (tests/allocations, bench preset, no sanitizers);
#   - under Wine, every allocation call the monitor's modules make through
#     their import tables around 1000 cycles driven with both pages up
#     (tests/wine/heap_calls_test.cpp).
# The counts are exact, so one run each; prints a markdown table.
#   bench/allocations.sh
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$root"
bench_build bench allocation_tests
bench_build windows wine_tests
echo
echo "| where | what is counted | cycles | allocations | goal |"
echo "|---|---|---|---|---|"
build/bench/tests/allocation_tests --gtest_filter='*NoneInAThousand*' |
  sed -n 's/^allocations in \([0-9]*\) cycles, \([0-9]*\) processors, \([0-9]*\) processes: \([0-9]*\)$/\1 \2 \3 \4/p' |
  awk '{ printf "| native, %s processors, %s processes | every allocation | %s | %s | 0: %s |\n", $2, $3, $1, $4, ($4 == 0 ? "met" : "NOT met") }'
bench_wine_start
(cd "$bin" && wine ./wine_tests.exe --gtest_filter='HeapCalls.*') | tr -d '\r' |
  sed -n 's/^heap calls in \([0-9]*\) driven cycles from \(.*\): \([0-9]*\)$/\1|\2|\3/p' |
  awk -F'|' '{ printf "| Wine, %s | allocation calls through its imports | %s | %s | 0: %s |\n", $2, $1, $3, ($3 == 0 ? "met" : "NOT met") }'
