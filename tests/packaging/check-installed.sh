#!/usr/bin/env bash
# Checks what vemo installs, laid out either by `cmake --install` into a
# temporary DESTDIR (mode "install") or by the .deb: built with cpack, checked
# by lintian (no error allowed), unpacked with dpkg-deb -x (mode "deb").
# Either tree must hold every file, and the desktop entry and the AppStream
# metadata must pass their validators without a remark.
#   check-installed.sh install|deb BUILD_DIR APP_ID "PROGRAMS" "MANUALS" "ICON_SIZES"
set -euo pipefail
mode=$1 build=$2 id=$3
read -r -a programs <<<"${4//;/ }"
read -r -a manuals <<<"${5//;/ }"
read -r -a sizes <<<"${6//;/ }"
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
fail() { echo "FAIL: $*" >&2; exit 1; }

case $mode in
install)
  DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log" ||
    { cat "$work/install.log"; fail "cmake --install"; }
  ;;
deb)
  cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
  deb=$(echo "$work"/out/vemo_1.00_*.deb)
  [ -f "$deb" ] || fail "no vemo_1.00_*.deb from cpack"
  echo "lintian $(basename "$deb"):"
  lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports an error"
  dpkg-deb -x "$deb" "$root"
  dpkg-deb -f "$deb" Depends | grep -q 'putty-tools, putty, xterm | x-terminal-emulator, fonts-liberation2' ||
    fail "Depends lacks the clients: $(dpkg-deb -f "$deb" Depends)"
  dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "Depends lacks the shared libraries"
  ;;
*) fail "unknown mode $mode" ;;
esac

usr=$root/usr
expect=()
for p in "${programs[@]}"; do expect+=("bin/$p"); done
for m in "${manuals[@]}"; do expect+=("share/man/man1/$m.gz"); done
expect+=("share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml"
  "share/icons/hicolor/scalable/apps/$id.svg" "share/doc/vemo/copyright" "share/doc/vemo/changelog.gz"
  share/doc/vemo/examples/{vemo-check.service,vemo-check.timer,vemo-nagios.cfg,vemo-icinga.conf})
for s in "${sizes[@]}"; do expect+=("share/icons/hicolor/${s}x$s/apps/$id.png"); done
for f in "${expect[@]}"; do
  [ -s "$usr/$f" ] || fail "missing: /usr/$f"
done
for p in "${programs[@]}"; do [ -x "$usr/bin/$p" ] || fail "not executable: /usr/bin/$p"; done
[ -x "$usr/libexec/vemo/vemo-verify" ] || fail "not executable: /usr/libexec/vemo/vemo-verify"
for m in "${manuals[@]}"; do gzip -t "$usr/share/man/man1/$m.gz" || fail "bad gzip: $m.gz"; done
# Each PNG is the size its folder names (width and height from the IHDR chunk).
for s in "${sizes[@]}"; do
  png=$usr/share/icons/hicolor/${s}x$s/apps/$id.png
  read -r w h < <(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4, $7*256+$8}')
  [ "$w x $h" = "$s x $s" ] || fail "$png is $w x $h"
done
# The metadata's screenshots are the ones in docs/.
grep -o '<image>[^<]*</image>' "$usr/share/metainfo/$id.metainfo.xml" | sed 's|.*/docs/||; s|</image>||' |
  while read -r shot; do [ -f "$source_dir/docs/$shot" ] || fail "screenshot not in docs/: $shot"; done

# Not even a hint or a pedantic note.
out=$(desktop-file-validate "$usr/share/applications/$id.desktop" 2>&1) && [ -z "$out" ] ||
  fail "desktop-file-validate: $out"
out=$(appstreamcli validate --no-net --pedantic "$usr/share/metainfo/$id.metainfo.xml" 2>&1) &&
  ! grep -q '^[IWE]:' <<<"$out" || fail "appstreamcli validate: $out"
echo "$mode: ${#expect[@]} files in place, desktop entry and metadata valid"
