#!/usr/bin/env bash
# The pure core's cost, natively, from the bench preset (Release, no
# sanitizers): the process pass at 32, 256 and 1024 processes with no churn
# and 10 % churn, the status formatting, one gauge and history geometry step
# and a whole cycle's pure work at 32 processes, as medians over REPEATS
# repetitions, with the scaling ratio pass(1024)/pass(256).
#   bench/core.sh [repeats]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
repeats=${1:-5}
cd "$root"
bench_build bench process_pass_bench cycle_bench

echo "load average before: $(load_average)"
for program in process_pass_bench cycle_bench; do
  echo
  echo "### $program ($repeats repetitions)"
  # The console table goes to standard error; the markdown table is the program's last lines.
  build/bench/bench/$program --benchmark_repetitions="$repeats" --benchmark_report_aggregates_only=true \
    2>/dev/null | sed -n '/^| benchmark/,$p'
done
echo
echo "load average after: $(load_average)"
