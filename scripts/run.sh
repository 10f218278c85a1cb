#!/usr/bin/env bash
# The run command: builds the monitor and runs it under Wine with the
# stand-in libraries beside it.
#
#   scripts/run.sh [--seconds N] [--shots DIR] [--headless] [program options...]
#
# With a display the window opens and the command returns when it is closed.
# Without one (or with --headless) the monitor runs on a virtual display for
# N seconds (default 15), PNG screenshots of both pages are saved in DIR
# (default build/screenshots) and their paths printed. The monitor's
# standard-output lines reach this terminal; options such as /s, /d and /h
# pass through to it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

seconds=15
shots="$root/build/screenshots"
headless=0
options=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --shots) shots=$(realpath -m "$2"); shift 2 ;;
    --headless) headless=1; shift ;;
    *) options+=("$1"); shift ;;
  esac
done
[ -n "${DISPLAY:-}" ] || headless=1

bash scripts/deps.sh run
cmake --preset windows >/dev/null
# Only what runs: the monitor, the stand-ins and the screenshot helpers.
cmake --build --preset windows --target selvane-monitor coredll libnvrm sheet_control control_rect
bin="$root/build/windows/bin"
source scripts/wine-env.sh
wine_prefix x11

if [ "$headless" -eq 0 ]; then
  cd "$bin"
  exec wine ./selvane-monitor.exe "${options[@]+"${options[@]}"}"
fi

mkdir -p "$shots"
rm -f "$shots"/*.png
export SELVANE_BIN="$bin" SELVANE_SHOTS="$shots" SELVANE_SECONDS="$seconds"
# Runs on the virtual display; wineserver is stopped inside, before Xvfb goes.
xvfb-run -a -s "-screen 0 1024x768x24" bash "$root/scripts/screenshots.sh" "${options[@]+"${options[@]}"}"
ls -1 "$shots"/*.png
