#!/usr/bin/env bash
# Unzips the package into an empty folder and runs the monitor from there
# under Wine: first with the stand-ins (hardware figures, per-processor
# columns), then without them (single-processor, no hardware figures).
# Usage: unzip_and_run.sh PACKAGE.zip SHEET_CONTROL.exe
set -uo pipefail
package=$1
control=$2
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT

fail() { echo "FAIL: $*"; exit 1; }

unzip -q "$package" -d "$folder" || fail "cannot unzip $package"
for file in selvane-monitor.exe coredll.dll libnvrm.dll README.txt; do
  [ -f "$folder/$file" ] || fail "the package lacks $file"
done

# Runs the monitor from the folder and probes it; prints the probe's lines.
probe() {
  (cd "$folder" && wine ./selvane-monitor.exe) &
  local monitor=$!
  local report
  report=$(wine "$control" probe 5000 | tr -d '\r')
  wine "$control" close >/dev/null 2>&1
  wait "$monitor"
  echo "$report"
}

with=$(probe)
echo "with the stand-ins:"; echo "$with"
grep -q '^status: CPU\[[0-9]*Mhz\]' <<<"$with" || fail "no status block with the simulator beside the exe"
processors=$(nproc)
[ "$processors" -gt 4 ] && processors=4
expected=7
[ "$processors" -gt 1 ] && expected=8
grep -qx "process-columns: $expected" <<<"$with" || fail "expected $expected process columns"

rm "$folder/coredll.dll" "$folder/libnvrm.dll"
without=$(probe)
echo "without them:"; echo "$without"
grep -qx 'status: ' <<<"$without" || fail "hardware figures shown without the simulator"
grep -qx 'process-columns: 7' <<<"$without" || fail "an affinity column without the kernel extensions"
echo "package runs from an empty folder, with and without the stand-ins"
