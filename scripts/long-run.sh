#!/usr/bin/env bash
# The long run in full: 20,000 sampling cycles (or N) driven back to back
# under Wine, headless, with both stand-ins, helpers starting and exiting on
# the Processes page; prints the run's figures (time, handles, private bytes).
# The test command runs a shorter one.
#   scripts/long-run.sh [cycles]
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
cycles=${1:-20000}

bash scripts/deps.sh || exit 1
mkdir -p build
if ! { cmake --preset windows && cmake --build --preset windows; } >build/long-run-build.log 2>&1; then
  tail -n 30 build/long-run-build.log
  exit 1
fi

source scripts/wine-env.sh
wine_prefix null
wine_server_start
SELVANE_LONG_RUN_CYCLES="$cycles" wine build/windows/bin/wine_tests.exe --gtest_filter='LongRun.*' 2>&1 |
  grep -vE '^\[(==========|----------)\]|^Running main|^Note:|^$'
status=${PIPESTATUS[0]}
wine_server_stop
exit "$status"
