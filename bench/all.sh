#!/usr/bin/env bash
# Every measurement, one after another, with the defaults of each script
# (about six minutes, three of them the overhead comparison, which runs
# OVERHEAD_REPEATS times): the tables the README's Performance section shows.
#   bench/all.sh [overhead-repeats]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
echo "# Measurements, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) processors"
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
for script in core allocations accuracy startup wine_cycle; do
  echo
  echo "## bench/$script.sh"
  bash "$here/$script.sh"
done
echo
echo "## bench/overhead.sh 60 ${1:-1}"
bash "$here/overhead.sh" 60 "${1:-1}"
echo
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
