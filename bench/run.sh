#!/bin/bash
# Runs every benchmark of the project: bash bench/run.sh <builddir>
# The sizes are the benchmarks' own defaults unless given:
#   PROBE_ARGS="50 200" MONITOR_ARGS="--fixtures 4 200 500" CHECK_ARGS="--rounds 3 200" \
#   A11Y_SERVERS=2000 \
#     bash bench/run.sh build
# It runs every benchmark; the exit status is the first failure's.
set -uo pipefail
build="${1:-build}"
status=0
# shellcheck disable=SC2086 # the argument lists are meant to be split into words
"$build/bench/probe/bench_probe" ${PROBE_ARGS:-} || status=$((status ? status : $?))
# shellcheck disable=SC2086
QT_QPA_PLATFORM=offscreen "$build/bench/monitor/bench_monitor" ${MONITOR_ARGS:-} ||
    status=$((status ? status : $?))
# The refused case again with the accessibility bridge on, timed from outside.
bash bench/monitor/a11y.sh "$build" ${A11Y_SERVERS:-} || status=$((status ? status : $?))
# shellcheck disable=SC2086
"$build/bench/check/bench_check" ${CHECK_ARGS:-} || status=$((status ? status : $?))
exit "$status"
