#!/usr/bin/env bash
# Accuracy of the per-processor loads against the kernel's own figures:
# the monitor's sampling cycle runs under Wine with the kernel-extension
# stand-in while Linux processor 2 is kept busy for the first half of the run
# and left idle for the second. Each cycle's load is compared with the busy
# fraction /proc/stat gives for the same second.
#   bench/accuracy.sh [busy-seconds] [repeats]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
busy_seconds=${1:-5}
repeats=${2:-3}
cycles=$((2 * busy_seconds))

bench_build windows accuracy_probe coredll
bench_wine_start
cd "$bin"

results=$(mktemp)
for run in $(seq "$repeats"); do
  taskset -c 1 timeout "$busy_seconds" sh -c 'while :; do :; done' &
  wine ./accuracy_probe.exe "$cycles" | tr -d '\r' >>"$results"
  wait || true
done

# Largest absolute error per processor: over every cycle of every run, and
# the median over the runs of each run's largest.
echo "load average: $(load_average)"
awk -v repeats="$repeats" '
  $1 == 1 { run++ }
  { for (i = 2; i + 1 <= NF; i += 2) { p = i / 2; e = $i - $(i + 1); if (e < 0) e = -e;
      if (e > worst[p]) worst[p] = e; if (e > runWorst[run, p]) runWorst[run, p] = e; if (p > n) n = p } cycles++ }
  END {
    print "| processor | cycles | largest error | median of the runs'"'"' largest | goal |"; print "|---|---|---|---|---|"
    for (p = 1; p <= n; p++) {
      for (r = 1; r <= run; r++) v[r] = runWorst[r, p] + 0
      for (i = 1; i <= run; i++) for (j = i + 1; j <= run; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
      med = run % 2 ? v[(run + 1) / 2] : (v[run / 2] + v[run / 2 + 1]) / 2
      printf "| %d | %d | %.4f | %.4f | %s |\n", p, cycles, worst[p], med, (worst[p] <= 0.05 ? "met (<= 0.05)" : "NOT met")
    }
  }' "$results"
rm -f "$results"
