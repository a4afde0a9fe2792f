#!/usr/bin/env bash
# Takes docs/notification.png: the demo monitor (scripts/demo.sh) on a private
# Xvfb display and session bus with dunst as the notification service and
# trayer as the tray, after the demo's healthy server stopped between two
# cycles. Needs xvfb, dbus, dunst, trayer, xdotool and imagemagick (only this
# picture needs the last four).
#   bash scripts/alerts-screenshot.sh BUILD_DIR OUT.png
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?build folder}" && pwd)
out=$(realpath -m "${2:?output file}")
display=:$((90 + RANDOM % 100))
work=$(mktemp -d)
Xvfb "$display" -screen 0 1024x640x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
export DISPLAY=$display
sleep 1
cat >"$work/dunstrc" <<'CONF'
[global]
origin = bottom-right
offset = 12x12
width = 380
font = Liberation Sans 10
frame_width = 2
frame_color = "#404040"
padding = 10
horizontal_padding = 10
show_indicators = no
[urgency_normal]
background = "#f4f4f4"
foreground = "#000000"
timeout = 0
[urgency_critical]
background = "#b00000"
foreground = "#ffffff"
timeout = 0
CONF
export ROOT="$root" BUILD="$build" OUT="$out" WORK="$work"
dbus-run-session -- bash -c '
  set -euo pipefail
  trayer --edge top --align right --widthtype request --height 28 --heighttype pixel \
         --SetDockType true --transparent false --tint 0xd0d0d0 >/dev/null 2>&1 &
  tray=$!
  dunst -config "$WORK/dunstrc" >/dev/null 2>&1 &
  notices=$!
  sleep 1
  "$BUILD/scripts/vemo_monitor_demo" "$BUILD/bin/vemo" >/dev/null 2>&1 &
  demo=$!
  sleep 10 # the first cycle: nothing is news yet
  # The healthy server (the first one the demo starts) stops answering.
  healthy=$(pgrep -P "$demo" -f "ssh_fixture_server.*server-1( |$)" | head -n1)
  kill "$healthy"
  window=$(xdotool search --name "Quillfern Remote Server Monitor" | head -n1)
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove $((X + 30)) $((Y + 14)) click 1 # Refresh
  sleep 6
  # Rest the pointer on the tray lamp so that its tooltip shows.
  xdotool mousemove 1010 14
  sleep 3
  import -window root "$OUT"
  # Ending the monitor as a close does; the demo then stops its servers.
  kill "$(pgrep -P "$demo" -x vemo)"
  wait "$demo" || true
  kill "$notices" "$tray" 2>/dev/null || true
'
echo "saved $out"
