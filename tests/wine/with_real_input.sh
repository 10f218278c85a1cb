#!/usr/bin/env bash
# Runs a Wine test command on a virtual display (Xvfb, the X11 driver's
# prefix) where the tests can press keys and click as a person would: a test
# leaves an xdotool command line in a file NAME.req in SELVANE_INPUT_DIR, and
# the loop here runs it and renames the file NAME.done. The display is the
# first free one from SELVANE_DISPLAY_FROM (default 99).
set -u
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$root/scripts/wine-env.sh"
wine_prefix x11
SELVANE_INPUT_DIR=$(mktemp -d)
export SELVANE_INPUT_DIR
xvfb-run -a -n "${SELVANE_DISPLAY_FROM:-99}" -s "-screen 0 1024x768x24" bash -c '
  while :; do
    for request in "$SELVANE_INPUT_DIR"/*.req; do
      [ -e "$request" ] || continue
      xdotool $(cat "$request") >/dev/null 2>&1
      mv "$request" "${request%.req}.done"
    done
    sleep 0.05
  done &
  input=$!
  wineserver -p
  "$@"
  status=$?
  kill "$input"
  # xvfb-run ends the display when this command ends: Wine goes first.
  wineserver -k
  exit "$status"' real-input "$@"
status=$?
rm -rf "$SELVANE_INPUT_DIR"
exit "$status"
