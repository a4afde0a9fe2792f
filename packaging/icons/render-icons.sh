#!/usr/bin/env bash
# Renders the icon's PNGs for the hicolor theme from the SVG beside this
# script (rsvg-convert, Debian package librsvg2-bin). The PNGs are committed;
# run this again after changing the SVG.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
svg="$here/io.github.quillfern.vemo.svg"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --output "$here/vemo-$size.png" "$svg"
done
