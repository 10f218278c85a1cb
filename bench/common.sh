# Sourced by the benchmark scripts: the build, a Wine prefix of their own and
# small helpers for medians.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="$root/build/windows/bin"

# Runs a command quietly; shows its output and stops when it fails.
quietly() {
  local log
  log=$(mktemp)
  if ! "$@" >"$log" 2>&1; then
    grep -E 'error|FAILED' "$log" | head -n 20 || tail -n 20 "$log"
    rm -f "$log"
    echo "failed: $*" >&2
    exit 1
  fi
  rm -f "$log"
}

# Builds a preset's given targets, quietly.
bench_build() {
  local preset=$1
  shift
  quietly bash "$root/scripts/deps.sh"
  quietly cmake --preset "$preset"
  quietly cmake --build --preset "$preset" --target "$@"
}

# A headless prefix of the benchmarks' own, copied from the test prefix, with
# a persistent wineserver stopped on exit: no test run shares its server.
bench_wine_start() {
  source "$root/scripts/wine-env.sh"
  wine_prefix null
  local bench_prefix="$root/build/wineprefix-bench"
  if [ ! -f "$bench_prefix/.selvane-ready" ]; then
    rm -rf "$bench_prefix"
    cp -a "$WINEPREFIX" "$bench_prefix"
  fi
  export WINEPREFIX="$bench_prefix"
  wine_server_start
  trap wine_server_stop EXIT
}

# The median of the numbers on standard input, one a line.
median() {
  sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "n/a"; else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

load_average() { cut -d' ' -f1-3 /proc/loadavg; }

# Milliseconds since the epoch.
now_ms() { date +%s%3N; }
