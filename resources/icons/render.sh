#!/usr/bin/env bash
# Renders the program icon's PNG sizes from its SVG (needs rsvg-convert from librsvg2-bin).
# The PNGs are kept in the repository, so that building needs no SVG renderer.
set -euo pipefail
cd "$(dirname "$0")/hicolor"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" scalable/apps/org.vantrel.Rotaview.svg \
    -o "${size}x${size}/apps/org.vantrel.Rotaview.png"
done
