#!/bin/bash
# The 2,000 refused checks of bench_monitor with the accessibility bridge on,
# as every screen-reader user runs the program, and a client in another
# process timing the grid's answers: bash bench/monitor/a11y.sh <builddir> [N]
# Everything is private to this run: HOME, the runtime folder, the session
# bus, the accessibility bus and an X server on a free display.
set -euo pipefail
build="$1"
n="${2:-2000}"
here="$(cd "$(dirname "$0")" && pwd)"
scratch="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
export HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run"
mkdir -m 0700 "$HOME" "$XDG_RUNTIME_DIR"

display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=":$display"
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

bus="$(dbus-daemon --session --fork --print-address=1 --print-pid=1 --nosyslog)"
export DBUS_SESSION_BUS_ADDRESS="${bus%%$'\n'*}"
pids+=("${bus##*$'\n'}")
/usr/libexec/at-spi-bus-launcher >"$scratch/atspi.log" 2>&1 &
pids+=($!)

export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
"$build/bench/monitor/bench_monitor" --sizes "${A11Y_SIZES:-0,$n,0,0,0,0}" \
    --a11y-client "$here/a11y_extents.py"
