#!/usr/bin/env bash
# make demo: the monitor against three SSH servers of its own on 127.0.0.1
# (healthy; degraded RAID and failed backup; refusing logins), with a demo
# Servers.mdb in a temporary folder. Closing the window stops the servers.
#   bash scripts/demo.sh BUILD_DIR [--screenshot FILE]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
shift || true
case $build in
  /*) ;;
  *) build=$root/$build ;;
esac
helper=$build/scripts/vemo_monitor_demo
vemo=$build/bin/vemo
if [ ! -x "$helper" ] || [ ! -x "$vemo" ]; then
  echo "demo: build first (make build): $helper or $vemo is missing" >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "demo: the monitor is a window and needs a display (xvfb-run make demo runs it unseen)" >&2
  exit 1
fi
exec "$helper" "$vemo" "$@"
