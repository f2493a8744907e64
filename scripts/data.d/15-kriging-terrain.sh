#!/usr/bin/env bash
# The kriging method's terrain grids ZentrelData/kriging-terrain.bin, derived from the elevation
# raster (programs derive them at load, more slowly, where the file is missing or stale).
# Usage: 15-kriging-terrain.sh BUILD_DIR DOWNLOADS OUT   (skipped when newer than the raster)
set -euo pipefail
BUILD_DIR=$1 OUT=$3
RASTER="$OUT/ZentrelData/10k8b.raw"
TARGET="$OUT/ZentrelData/kriging-terrain.bin"
[ -f "$TARGET" ] && [ "$TARGET" -nt "$RASTER" ] && exit 0
cmake --build "$BUILD_DIR" --target make_kriging_terrain >/dev/null
"$BUILD_DIR/bin/make_kriging_terrain" "$OUT/ZentrelData"
