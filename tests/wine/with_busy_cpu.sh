#!/bin/sh
# Runs a command while Linux processor $1 (counted from 0) is kept busy by a
# pinned shell loop; the command sees SELVANE_BUSY_CPU, counted from 1.
cpu=$1
shift
taskset -c "$cpu" sh -c 'while :; do :; done' &
busy=$!
SELVANE_BUSY_CPU=$((cpu + 1)) "$@"
status=$?
kill "$busy"
exit "$status"
