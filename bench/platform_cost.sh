#!/usr/bin/env bash
# What one sampling cycle asks of the platform, on each page, for the desktop
# build and for the device's branch over its stand-ins: snapshots taken,
# records walked, heaps asked for, handles opened (and closed). At the
# process count of the machine as it is, then with helpers started until 64
# processes are listed. Prints a markdown table.
#   bash bench/platform_cost.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
for preset in windows windows-device; do
  cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" >/dev/null
done
source scripts/wine-env.sh
wine_prefix null
wine_server_start
echo "| build | listed | Performance page, two cycles: snapshots, records, heaps, handles | Processes page, one pass: snapshots, records, heaps, handles |"
echo "|---|---|---|---|"
for processes in 0 64; do
  for preset in windows windows-device; do
    (cd "build/$preset/bin" && SELVANE_BIN=$PWD SELVANE_COST_PROCESSES=$processes \
      wine ./wine_tests.exe --gtest_filter='PlatformCost.*' 2>&1 >/dev/null | grep '^| ')
  done
done
wine_server_stop
