#!/usr/bin/env bash
# The suite's power, measured: applies each fault of scripts/mutants.txt to
# the program, one at a time, rebuilds incrementally, runs the suite (the
# native tests, the stress test under ThreadSanitizer and the Wine tests) and
# prints whether the fault was killed (a build or a test failed) or survived.
# Every file is restored after its fault, and on any exit. Not part of CI: a
# fault takes a minute or two; a suite stops at its first failing test.
#   scripts/mutants.sh [area-pattern]     (only the faults whose area matches)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
only=${1:-}
logs="$root/build/mutants"
mkdir -p "$logs"

bash scripts/deps.sh >/dev/null || exit 1
for preset in native tsan windows windows-device; do
  cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" >"$logs/baseline-$preset.log" 2>&1 ||
    { echo "the unchanged tree does not build ($preset)"; exit 1; }
done
source scripts/wine-env.sh
wine_prefix null

saved=""
restore() { [ -n "$saved" ] && cp "$logs/original" "$saved" && saved=""; }
trap 'restore; wine_server_stop' EXIT

# Replaces the one occurrence of $2 in file $1 by $3 ("<NL>" is a line break).
apply() {
  python3 - "$@" <<'PY'
import sys
path, find, put = sys.argv[1], sys.argv[2].replace('<NL>', '\n'), sys.argv[3].replace('<NL>', '\n')
text = open(path).read()
if text.count(find) != 1:
    sys.exit(f"found {text.count(find)} times in {path}: {find}")
open(path, 'w').write(text.replace(find, put))
PY
}

# The Wine tests of one build preset.
wine_suite() {
  local preset=$1 log=$2 status
  cmake --build --preset "$preset" >>"$log" 2>&1 || { echo "build ($preset)"; return 1; }
  wine_server_start
  ctest --preset "$preset" --stop-on-failure >>"$log" 2>&1
  status=$?
  wine_server_stop
  [ "$status" -eq 0 ] || { echo "Wine tests ($preset)"; return 1; }
}

# A fault in the device's own files only the device's branch compiles: its
# run under Wine alone. Any other: the native, stress and desktop suites, then
# the device's run.
suite() {
  local log=$1 file=$2
  case "$file" in
    platform/device/*) wine_suite windows-device "$log"; return ;;
  esac
  for preset in native tsan; do
    cmake --build --preset "$preset" >>"$log" 2>&1 || { echo "build ($preset)"; return 1; }
  done
  ctest --preset native --stop-on-failure >>"$log" 2>&1 || { echo "native tests"; return 1; }
  build/tsan/tests/tsan/table_stress >>"$log" 2>&1 || { echo "stress test"; return 1; }
  wine_suite windows "$log" && wine_suite windows-device "$log"
}

killed=0
survived=0
number=0
echo "| # | area | result |"
echo "|---|---|---|"
while IFS= read -r line; do
  case "$line" in '#'* | '') continue ;; esac
  area=${line%% @@ *}; rest=${line#* @@ }
  file=${rest%% @@ *}; rest=${rest#* @@ }
  find=${rest%% @@ *}; put=${rest#* @@ }
  [ -z "$only" ] || [[ "$area" == *$only* ]] || continue
  number=$((number + 1))
  cp "$file" "$logs/original"
  saved=$file
  if ! message=$(apply "$file" "$find" "$put" 2>&1); then
    echo "| $number | $area | not applied: $message |"
    restore
    continue
  fi
  log="$logs/$number.log"
  : >"$log"
  if reason=$(suite "$log" "$file"); then
    echo "| $number | $area | SURVIVED |"
    survived=$((survived + 1))
  else
    echo "| $number | $area | killed ($reason) |"
    killed=$((killed + 1))
  fi
  restore
done <scripts/mutants.txt
# The restored tree, built again.
for preset in native tsan windows windows-device; do cmake --build --preset "$preset" >/dev/null 2>&1; done
echo
echo "$killed killed, $survived survived"
