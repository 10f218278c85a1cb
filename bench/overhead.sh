#!/usr/bin/env bash
# The monitor's own cost beside top's and htop's, measured one after another
# on this machine, each for SECONDS (default 60):
#   - the monitor under Wine with both stand-ins, the Performance page active
#     for the first half and the Processes page for the second
#     (tools/sheet_control.exe switches and closes the sheet);
#   - top -b -d 1;
#   - htop -d 10 (a refresh a second), in a terminal of its own (script);
#   - the monitor again, with the remote endpoint (/r) and one client reading
#     its event stream (curl, outside Wine) from the SETTLE-th second on;
#   - Wine's own Task Manager, its Performance tab for the first half and its
#     Processes tab for the second (its own Linux process);
#   - with SELVANE_BEFORE_BIN set to another build's bin folder (the monitor
#     and its stand-ins), that monitor too, as "before", for a comparison
#     within the same run.
#   - the monitor again, with two triggers (/t) and nothing else;
#   - bench/call_floor: the platform's calls of each page's cycle alone, once
#     a second, with the same halves: the floor beneath the monitor's cost.
# CPU time per second is counted from the SETTLE-th second to the end, so
# start-up is left out (and shown apart), from each thread's run time in
# /proc/<pid>/task/*/sched (nanoseconds: /proc/<pid>/stat counts 10 ms ticks,
# one of which is 0.17 ms/s over a minute); peak RSS is VmHWM. The Processes page's half is also
# shown without its first SETTLE seconds (the page's creation and first pass). For the monitor, only its own
# Linux process counts: wineserver and the other Wine services of its prefix
# are shown apart. Prints a markdown table of medians over REPEATS.
#   bench/overhead.sh [seconds] [repeats]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
seconds=${1:-60}
repeats=${2:-1}
settle=2
half=$((seconds / 2))

bench_build windows selvane-monitor coredll libnvrm sheet_control call_floor
bench_wine_start
cd "$bin"
runs=$(mktemp)

# Microseconds of user + system time from /proc/<pid>/stat, exited threads
# included, in clock ticks; 0 once it is gone.
tick_us() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || { echo 0; return; }
  stat=${stat##*) }
  set -- $stat
  echo $(( (${12} + ${13}) * 1000000 / tick_hz ))
}
# Microseconds run by a process's live threads, to the nanosecond; 0 once it
# is gone. Threads that exit take theirs with them: used for the measured
# programs, whose threads live as long as they do (the monitor's tick count is
# shown beside it as a check), not for the Wine services.
cpu_us() {
  cat "/proc/$1"/task/*/sched 2>/dev/null |
    awk '$1 == "se.sum_exec_runtime" { us += $3 * 1000 } END { printf "%.0f\n", us }'
}
tick_hz=$(getconf CLK_TCK)
peak_rss_kb() { awk '/^VmHWM/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0; }
# CPU ms per second from microseconds run over a span of milliseconds.
per_second() { awk -v us="$1" -v ms="$2" 'BEGIN { printf "%.3f", us / ms }'; }
milliseconds() { awk -v us="$1" 'BEGIN { printf "%.0f", us / 1000 }'; }
sleep_until() { local wait=$(( $1 - $(now_ms) )); [ "$wait" -le 0 ] || sleep "$(awk -v w="$wait" 'BEGIN { print w / 1000 }')"; }

# The processes of this prefix other than `$1`, as "pid name" lines.
prefix_processes() {
  local p
  for p in /proc/[0-9]*; do
    [ "${p#/proc/}" != "$1" ] || continue
    if grep -qz "^WINEPREFIX=$WINEPREFIX\$" "$p/environ" 2>/dev/null; then
      echo "${p#/proc/} $(cat "$p/comm" 2>/dev/null)"
    fi
  done
}

# Tick microseconds summed over the listed pids (the first word of each line).
sum_tick_us() {
  local total=0 pid
  for pid in "$@"; do total=$(( total + $(tick_us "$pid") )); done
  echo "$total"
}

# run_monitor [LABEL OPTION [BIN]]: "monitor" without options, or LABEL with
# OPTION: /rPORT and one event-stream client of that port, or /t rules; the
# monitor of BIN (default this build's).
run_monitor() {
  local label=${1:-monitor} option=${2:-} dir=${3:-$bin} start pid t1 t2 tm ts c1 c2 cm cs k1 k2 rss servers others s1 s2 o1 o2 client=""
  start=$(now_ms)
  wine "$dir/selvane-monitor.exe" $option >/dev/null 2>&1 &
  pid=$!
  sleep_until $(( start + settle * 1000 ))
  [ "$(cat "/proc/$pid/comm")" = selvane-monitor ] || { echo "the monitor did not start" >&2; exit 1; }
  if [ "${option#/r}" != "$option" ]; then
    curl -sN "http://127.0.0.1:${option#/r}/events" >/dev/null &
    client=$!
  fi
  servers=$(prefix_processes "$pid" | awk '$2 ~ /^wineserver/ { print $1 }')
  others=$(prefix_processes "$pid" | awk '$2 !~ /^wineserver/ { print $1 }')
  t1=$(now_ms); c1=$(cpu_us "$pid"); k1=$(tick_us "$pid"); s1=$(sum_tick_us $servers); o1=$(sum_tick_us $others)
  sleep_until $(( start + half * 1000 ))
  tm=$(now_ms); cm=$(cpu_us "$pid")
  wine ./sheet_control.exe select 0
  # The Processes page's steady cost, after its creation and first pass.
  sleep_until $(( start + (half + settle) * 1000 ))
  ts=$(now_ms); cs=$(cpu_us "$pid")
  sleep_until $(( start + seconds * 1000 ))
  t2=$(now_ms); c2=$(cpu_us "$pid"); k2=$(tick_us "$pid"); s2=$(sum_tick_us $servers); o2=$(sum_tick_us $others)
  rss=$(peak_rss_kb "$pid")
  wine ./sheet_control.exe close
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  [ -z "$client" ] || { kill "$client" 2>/dev/null || true; wait "$client" 2>/dev/null || true; }
  echo "$label $(per_second $((c2 - c1)) $((t2 - t1))) $rss $(milliseconds "$c1") $(per_second $((cm - c1)) $((tm - t1))) $(per_second $((c2 - cm)) $((t2 - tm))) $(per_second $((s2 - s1)) $((t2 - t1))) $(per_second $((o2 - o1)) $((t2 - t1))) $(per_second $((c2 - cs)) $((t2 - ts))) $(milliseconds $((cs - cm))) $(per_second $((k2 - k1)) $((t2 - t1)))"
}

# A Linux program: "$1" is its label, the rest how its pid is found and ended.
measure_linux() {
  local label=$1 pid=$2 start=$3 t1 t2 c1 c2 rss
  sleep_until $(( start + settle * 1000 ))
  t1=$(now_ms); c1=$(cpu_us "$pid")
  sleep_until $(( start + seconds * 1000 ))
  t2=$(now_ms); c2=$(cpu_us "$pid")
  rss=$(peak_rss_kb "$pid")
  echo "$label $(per_second $((c2 - c1)) $((t2 - t1))) $rss $(milliseconds "$c1")"
}

# "PERFORMANCE-HALF PROCESSES-HALF" in ms/s of process PID started at START
# (ms): its CPU from the SETTLE-th second to the half, and from SETTLE seconds
# after the half to END ms after the start. The rest of the arguments, a
# command, run at the half (the page switch).
halves() {
  local pid=$1 start=$2 end=$3 t1 tm ts t2 c1 cm cs c2
  shift 3
  sleep_until $(( start + settle * 1000 ))
  t1=$(now_ms); c1=$(cpu_us "$pid")
  sleep_until $(( start + half * 1000 ))
  tm=$(now_ms); cm=$(cpu_us "$pid")
  [ $# -eq 0 ] || "$@"
  sleep_until $(( start + (half + settle) * 1000 ))
  ts=$(now_ms); cs=$(cpu_us "$pid")
  sleep_until $(( start + end ))
  t2=$(now_ms); c2=$(cpu_us "$pid")
  echo "$(per_second $((cm - c1)) $((tm - t1))) $(per_second $((c2 - cs)) $((t2 - ts)))"
}

show_taskmgr_processes() {
  wine ./sheet_control.exe taskmgr 1 || echo "the Task Manager's Processes tab was not shown" >&2
}

# Wine's Task Manager: "taskmgr PERFORMANCE-TAB PROCESSES-TAB" in ms/s, each
# tab's half from its SETTLE-th second on.
run_taskmgr() {
  local start pid figures
  start=$(now_ms)
  wine taskmgr >/dev/null 2>&1 &
  # Its own Linux process, which the wine command starts beside itself.
  wine ./sheet_control.exe taskmgr 2 || echo "the Task Manager's Performance tab was not shown" >&2
  pid=$(prefix_processes 0 | awk '$2 == "taskmgr.exe" { print $1; exit }')
  [ -n "$pid" ] || { echo "the Task Manager did not start" >&2; exit 1; }
  figures=$(halves "$pid" "$start" $(( seconds * 1000 )) show_taskmgr_processes)
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "taskmgr $figures"
}

# The platform's calls alone: "floor PERFORMANCE-HALF PROCESSES-HALF" in ms/s,
# counted as the monitor's halves are, up to half a second before it ends.
run_floor() {
  local start pid figures
  start=$(now_ms)
  wine ./call_floor.exe "$seconds" "$half" >/dev/null &
  pid=$!
  figures=$(halves "$pid" "$start" $(( seconds * 1000 - 500 )))
  wait "$pid" || { echo "call_floor failed" >&2; exit 1; }
  echo "floor $figures"
}

run_top() {
  local start pid
  start=$(now_ms)
  top -b -d 1 >/dev/null &
  pid=$!
  measure_linux top "$pid" "$start"
  kill "$pid"; wait "$pid" 2>/dev/null || true
}

run_htop() {
  local start holder pid
  start=$(now_ms)
  # htop draws on a terminal: script gives it one, 160 x 48.
  TERM=xterm-256color script -qfec "stty cols 160 rows 48; exec htop -d 10" /dev/null </dev/null >/dev/null 2>&1 &
  holder=$!
  for _ in $(seq 50); do pid=$(pgrep -P "$holder" -x htop || true); [ -z "$pid" ] || break; sleep 0.1; done
  [ -n "$pid" ] || { echo "htop did not start" >&2; exit 1; }
  measure_linux htop "$pid" "$start"
  kill "$pid"; wait "$holder" 2>/dev/null || true
}

echo "load average before: $(load_average)"
for run in $(seq "$repeats"); do
  run_monitor | tee -a "$runs"
  run_top | tee -a "$runs"
  run_htop | tee -a "$runs"
  run_monitor remote /r9377 | tee -a "$runs"
  run_taskmgr | tee -a "$runs"
  [ -z "${SELVANE_BEFORE_BIN:-}" ] || run_monitor before "" "$SELVANE_BEFORE_BIN" | tee -a "$runs"
  run_monitor triggers "/ttcpu_c>85/tcpu_mhz<300" | tee -a "$runs"
  run_floor | tee -a "$runs"
done
echo "load average after: $(load_average)"

field() { awk -v who="$1" -v f="$2" '$1 == who { print $f }' "$runs" | median; }
mon=$(field monitor 2)
mb() { awk -v kb="$1" 'BEGIN { printf "%.1f", kb / 1024 }'; }
echo
echo "Medians of $repeats run(s) of ${seconds} s each; CPU from second $settle on, start-up CPU before it."
echo
echo "| process | CPU time per second | peak RSS | start-up CPU |"
echo "|---|---|---|---|"
echo "| monitor under Wine (Performance ${half} s, then Processes) | $mon ms/s | $(mb "$(field monitor 3)") MB | $(field monitor 4) ms |"
echo "| monitor with /r and one /events client, same halves | $(field remote 2) ms/s | $(mb "$(field remote 3)") MB | $(field remote 4) ms |"
echo "| monitor with /r against without, median of each run's ratio | $(awk '$1 == "monitor" { m[++i] = $2 } $1 == "remote" { r[++j] = $2 } END { for (k = 1; k <= j; ++k) print r[k] / m[k] }' "$runs" | median) | | |"
echo "| monitor with two triggers (/ttcpu_c>85/tcpu_mhz<300), same halves | $(field triggers 2) ms/s | $(mb "$(field triggers 3)") MB | $(field triggers 4) ms |"
echo "| monitor with two triggers against without, median of each run's ratio | $(awk '$1 == "monitor" { m[++i] = $2 } $1 == "triggers" { r[++j] = $2 } END { for (k = 1; k <= j; ++k) print r[k] / m[k] }' "$runs" | median) | | |"
echo "| monitor, whole run, from /proc/<pid>/stat ticks (check) | $(field monitor 11) ms/s | | |"
echo "| monitor, Performance page half | $(field monitor 5) ms/s | | |"
echo "| monitor, Processes page half (with the page's creation) | $(field monitor 6) ms/s | | |"
echo "| monitor, Processes page after its first ${settle} s | $(field monitor 9) ms/s | | |"
echo "| monitor, the Processes page's first ${settle} s (creation, first pass) | $(field monitor 10) ms | | |"
echo "| wineserver, during the monitor's run | $(field monitor 7) ms/s | | |"
echo "| other Wine services of the prefix | $(field monitor 8) ms/s | | |"
echo "| top -b -d 1 | $(field top 2) ms/s | $(mb "$(field top 3)") MB | $(field top 4) ms |"
echo "| htop -d 10 | $(field htop 2) ms/s | $(mb "$(field htop 3)") MB | $(field htop 4) ms |"
echo
# Each run's own ratio (its programs ran back to back), then the median over the runs.
per_run_ratio() {
  awk -v other="$1" '$1 == "monitor" { m[++r] = $2 } $1 == other { o[r] = $2 }
    END { for (i = 1; i <= r; i++) if (o[i] > 0) printf "%.3f\n", m[i] / o[i] }' "$runs" | median
}
top_ratio=$(per_run_ratio top)
echo "| ratio, median over the runs of each run's ratio | value | goal |"
echo "|---|---|---|"
echo "| monitor / top | $top_ratio | <= 1: $(awk -v r="$top_ratio" 'BEGIN { print (r <= 1 ? "met" : "NOT met") }') |"
echo "| monitor / htop | $(per_run_ratio htop) | |"
# Each page's cost against top's whole run and the Task Manager's same tab,
# each run's own ratio, then the median: "monitor FIELD", "other FIELD".
page_ratio() {
  awk -v mf="$1" -v other="$2" -v of="$3" '$1 == "monitor" { m[++r] = $mf } $1 == other { o[r] = $of }
    END { for (i = 1; i <= r; i++) if (o[i] > 0) printf "%.3f\n", m[i] / o[i] }' "$runs" | median
}
goal() { awk -v r="$1" -v g="$2" 'BEGIN { print (r <= g ? "met" : "NOT met") }'; }
if grep -q '^taskmgr ' "$runs"; then
  echo "| Wine's Task Manager, Performance tab | $(field taskmgr 2) ms/s | |"
  echo "| Wine's Task Manager, Processes tab | $(field taskmgr 3) ms/s | |"
  for page in "Performance 5 2" "Processes 9 3"; do
    set -- $page
    r=$(page_ratio "$2" top 2)
    echo "| monitor's $1 page / top | $r | <= 0.333: $(goal "$r" 0.3334) |"
    r=$(page_ratio "$2" taskmgr "$3")
    echo "| monitor's $1 page / the Task Manager's $1 tab | $r | <= 0.25: $(goal "$r" 0.25) |"
  done
fi
# The floor's halves against top, each run's own ratio: what no program making
# the same calls once a second can go below.
floor_ratio() {
  awk -v f="$1" '$1 == "floor" { m[++r] = $f } $1 == "top" { o[r + 1] = $2 }
    END { for (i = 1; i <= r; i++) if (o[i] > 0) printf "%.3f\n", m[i] / o[i] }' "$runs" | median
}
if grep -q '^floor ' "$runs"; then
  echo "| the platform's calls alone (bench/call_floor), Performance / Processes | $(field floor 2), $(field floor 3) ms/s | |"
  echo "| those calls alone / top, Performance / Processes | $(floor_ratio 2), $(floor_ratio 3) | |"
fi
if grep -q '^before ' "$runs"; then
  echo "| before (SELVANE_BEFORE_BIN): Performance page, Processes page after its first ${settle} s | $(field before 5), $(field before 9) ms/s | |"
  echo "| this build: the same | $(field monitor 5), $(field monitor 9) ms/s | |"
fi
rm -f "$runs"
