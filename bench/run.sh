#!/bin/bash
# Runs every benchmark of the project: bash bench/run.sh <builddir>
set -euo pipefail
build="${1:-build}"
"$build/bench/probe/bench_probe" "${@:2}"
