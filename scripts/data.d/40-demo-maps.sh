#!/usr/bin/env bash
# The map files of the demonstration folder: the same world map and boundaries as ZentrelData, and
# the kriging method's terrain grids (the same elevation raster), which a process would derive anew.
# Usage: 40-demo-maps.sh BUILD_DIR DOWNLOADS OUT
set -euo pipefail
OUT=$3
for f in Worad1.bna woma.bmp kriging-terrain.bin; do
  [ -f "$OUT/ZentrelData/$f" ] || { echo "40-demo-maps: $OUT/ZentrelData/$f is missing (30-maps.sh)" >&2; exit 1; }
  cmp -s "$OUT/ZentrelData/$f" "$OUT/DemoData/$f" || cp "$OUT/ZentrelData/$f" "$OUT/DemoData/$f"
done
