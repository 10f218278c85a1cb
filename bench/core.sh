#!/usr/bin/env bash
# The pure core's cost, natively, from the bench preset (Release, no
# sanitizers): the process pass at 32, 256 and 1024 processes with no churn
# and 10 % churn, the status formatting, one gauge and history geometry step
# and a whole cycle's pure work at 32 processes, as medians over REPEATS
# repetitions, with the scaling ratio pass(1024)/pass(256); then the
# allocations counted over 1000 pure cycles.
#   bench/core.sh [repeats]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
repeats=${1:-5}
cd "$root"
bench_build bench process_pass_bench cycle_bench allocation_tests

echo "load average before: $(load_average)"
for program in process_pass_bench cycle_bench; do
  echo
  echo "### $program ($repeats repetitions)"
  # The console table goes to standard error; the markdown table is the program's last lines.
  build/bench/bench/$program --benchmark_repetitions="$repeats" --benchmark_report_aggregates_only=true \
    2>/dev/null | sed -n '/^| benchmark/,$p'
done
echo
echo "### allocations after warm-up"
echo
echo "| processors | processes | allocations in 1000 cycles | goal |"
echo "|---|---|---|---|"
build/bench/tests/allocation_tests --gtest_filter='*NoneInAThousand*' |
  sed -n 's/^allocations in 1000 cycles, \([0-9]*\) processors, \([0-9]*\) processes: \([0-9]*\)$/\1 \2 \3/p' |
  awk '{ printf "| %s | %s | %s | 0: %s |\n", $1, $2, $3, ($3 == 0 ? "met" : "NOT met") }'
echo
echo "load average after: $(load_average)"
