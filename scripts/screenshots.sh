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

# Pixels that differ between two shots inside control $3 of the active page.
differing() {
  local geometry
  geometry=$(wine ./control_rect.exe "$3" 2>/dev/null | tr -d '\r')
  [ -n "$geometry" ] || { echo 0; return; }
  compare -metric AE "$SELVANE_SHOTS/$1.png[$geometry]" "$SELVANE_SHOTS/$2.png[$geometry]" null: 2>&1 |
    sed -E 's/^([0-9]+).*/\1/; t; s/.*/0/'
}

sleep 2
# Events for the histories' marks: DFS stopped and the CPU retargeted from
# the page, then the CPU set again two seconds later.
wine ./sheet_control.exe dfs 500 >/dev/null 2>&1
sleep 2
wine ./sheet_control.exe dfs 800 >/dev/null 2>&1
sleep 1;  shot performance-1
# A second of load, so that the CPU history has something to scroll even on
# an idle machine.
timeout 1.5 sh -c 'while :; do :; done' || true
sleep 2;  shot performance-2
# The graphs move: a few seconds apart, the history areas differ.
moved=$(( $(differing performance-1 performance-2 1022) + $(differing performance-1 performance-2 1023) ))
echo "history areas: $moved pixels differ between performance-1 and performance-2"
# The Processes page sorted by Mem Usage, largest first (two clicks on its
# header), with a windowless process (cmd running
# ping) started just before the shot, so that its rows show the new
# processes' colour.
page 0;   sleep 2
click_header() { xdotool mousemove $(wine ./control_rect.exe 1023 "$1" 2>/dev/null | tr -d '\r') click 1; }
click_header 5; sleep 1; click_header 5
wine cmd /c "ping -n 8 127.0.0.1 >nul" >/dev/null 2>&1 &
newcomer=$!
sleep 2; shot processes
kill "$newcomer" 2>/dev/null
page 1;   sleep 2  # the gauges and graphs are painted at the next cycle
rest=$(( SELVANE_SECONDS - ($(date +%s) - begin) ))
[ "$rest" -gt 0 ] && sleep "$rest"
shot performance-3

wine ./sheet_control.exe close >/dev/null 2>&1
wait "$monitor"
status=$?
wineserver -k
if [ "$moved" -eq 0 ]; then
  echo "the history graphs did not move between the two Performance screenshots" >&2
  [ "$status" -ne 0 ] || status=1
fi
exit "$status"
