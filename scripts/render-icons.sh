#!/usr/bin/env bash
# Renders the program's window icons (src/gui/icons/*.png) from data/tobrisk.svg.
# Run after changing the SVG; needs rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/.."
for size in 16 24 32 48 64 128; do
  rsvg-convert -w "$size" -h "$size" data/tobrisk.svg -o "src/gui/icons/tobrisk-$size.png"
done
