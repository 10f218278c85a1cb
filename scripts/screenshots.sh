#!/usr/bin/env bash
# Runs inside xvfb-run for the run command: starts the monitor, saves
# screenshots of both pages, closes it. Reads SELVANE_BIN, SELVANE_SHOTS and
# SELVANE_SECONDS.
set -uo pipefail
cd "$SELVANE_BIN"
caption='^Selvane Monitor 1\.2$'
wine ./selvane-monitor.exe "$@" &
monitor=$!
begin=$(date +%s)

window=$(timeout 30 xdotool search --sync --name "$caption" | head -n 1)
if [ -z "$window" ]; then
  echo "the monitor's window did not appear" >&2
  wineserver -k
  exit 1
fi

shot() { import -window "$window" "$SELVANE_SHOTS/$1.png"; }
page() { wine ./sheet_control.exe select "$1" >/dev/null 2>&1; }

sleep 4;  shot performance-1
sleep 3;  shot performance-2
page 0;   sleep 3; shot processes
page 1
rest=$(( SELVANE_SECONDS - ($(date +%s) - begin) ))
[ "$rest" -gt 0 ] && sleep "$rest"
shot performance-3

wine ./sheet_control.exe close >/dev/null 2>&1
wait "$monitor"
status=$?
wineserver -k
exit "$status"
