#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for N seconds (default 60) from
# its seed corpus in tests/fuzz/corpus/<name>/. New inputs go to a scratch
# folder, not the repository. Prints a table of executions and durations.
#   scripts/fuzz.sh [seconds] [fuzzer-name...]
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
seconds=${1:-60}
shift || true

cmake --preset fuzz >/dev/null || exit 1
cmake --build --preset fuzz >build/fuzz-build.log 2>&1 || { tail -n 30 build/fuzz-build.log; exit 1; }

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for source in tests/fuzz/*_fuzzer.cpp; do names+=("$(basename "$source" .cpp)"); done
fi

status=0
echo "| fuzzer | seconds | executions | result |"
echo "|---|---|---|---|"
for name in "${names[@]}"; do
  corpus="tests/fuzz/corpus/${name%_fuzzer}"
  scratch=$(mktemp -d)
  log="build/fuzz/$name.log"
  begin=$(date +%s)
  "build/fuzz/tests/fuzz/$name" "$scratch" "$corpus" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="build/fuzz/$name-" >"$log" 2>&1
  result=$?
  took=$(( $(date +%s) - begin ))
  runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$')
  if [ "$result" -eq 0 ]; then verdict=ok; else verdict="FAILED (see $log)"; status=1; fi
  echo "| $name | $took | ${runs:-?} | $verdict |"
  rm -rf "$scratch"
done
exit "$status"
