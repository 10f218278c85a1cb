#!/usr/bin/env bash
# Records a run of the monitor with /l and plots it: the monitor runs headless
# under Wine with both stand-ins for SECONDS (default 60); from a third of the
# way in to two thirds, both processors are kept busy from the Linux side (a
# load step), so the simulated chip's scaling raises the CPU clock and the
# temperatures follow. A trigger on the processor's temperature (/t) marks
# its crossing (a run of two minutes or more also writes its capture beside
# the record, once the minute after the crossing is in). Writes the record to
# build/record/record.csv and the plot to OUT (default docs/record.png); each
# cycle with events (the events field) is a vertical mark with its text.
#   scripts/record-plot.sh [seconds] [out.png]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
seconds=${1:-60}
out=$(realpath -m "${2:-docs/record.png}")

bash scripts/deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target selvane-monitor coredll libnvrm sheet_control >/dev/null
source scripts/wine-env.sh
wine_prefix null
wine_server_start
mkdir -p build/record
rm -f build/record/cap-*.csv
csv="$root/build/record/record.csv"

cd build/windows/bin
wine ./selvane-monitor.exe "/lZ:${csv//\//\\}/ttcpu_c>50" >/dev/null 2>&1 &
monitor=$!
sleep $(( seconds / 3 ))
loads=()
for cpu in 0 1; do
  taskset -c "$cpu" timeout $(( seconds / 3 )) sh -c 'while :; do :; done' &
  loads+=($!)
done
wait "${loads[@]}" || true
sleep $(( seconds - 2 * (seconds / 3) ))
wine ./sheet_control.exe close >/dev/null 2>&1 || kill "$monitor"
wait "$monitor" || true
wine_server_stop
cd "$root"

tr -d '\r' <"$csv" >"$csv.plot"
# The events: a mark across every plot at the cycle's seconds, its text on the first.
marks=$(awk -F, 'NR > 1 && $NF != "" {
  printf "set arrow from %s, graph 0 to %s, graph 1 nohead lc rgb \"#d4a000\" lw 1.5 front\n", $1, $1
  printf "set label \"%s\" at %s, graph 0.98 rotate by 90 right font \",8\" tc rgb \"#806000\" front\n", $NF, $1
}' "$csv.plot")
gnuplot <<PLOT
set terminal pngcairo size 900,640 font ",10" noenhanced
set output "$out"
set datafile separator ","
set key outside right
set xrange [0:$seconds]
$marks
set multiplot layout 3,1 title "Selvane Monitor /l: a minute of the simulated chip under a load step, events marked"
set ylabel "%"
set yrange [0:110]
plot "$csv.plot" using 1:2 with lines lw 2 title "CPU1 load", "" using 1:3 with lines dt 2 title "CPU1 busy", \\
     "" using 1:4 with lines lw 2 title "CPU2 load", "" using 1:5 with lines dt 2 title "CPU2 busy"
unset label
set ylabel "MHz"
set yrange [0:1100]
plot "$csv.plot" using 1:6 with lines lw 2 title "CPU clock", "" using 1:7 with lines lw 1 dt 2 title "CPU high corner", \\
     "" using 1:(column("emc_mhz")) with lines title "EMC clock"
set xlabel "seconds"
set ylabel "degrees C"
set yrange [*:*]
plot "$csv.plot" using 1:(column("tmodule_c")) with lines lw 2 title "module", \\
     "" using 1:(column("tcpu_c")) with lines lw 2 title "processor"
unset multiplot
PLOT
rm -f "$csv.plot"
echo "$(( $(wc -l <"$csv") - 1 )) cycles recorded in $csv; plot in $out"
ls build/record/cap-*.csv 2>/dev/null || true
