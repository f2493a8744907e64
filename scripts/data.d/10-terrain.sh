#!/usr/bin/env bash
# Elevation raster ZentrelData/10k8b.raw from the ETOPO5 relief and the world-atlas land mask.
# Usage: 10-terrain.sh BUILD_DIR DOWNLOADS OUT   (skipped when the raster exists)
set -euo pipefail
BUILD_DIR=$1 DOWNLOADS=$2 OUT=$3
TARGET="$OUT/ZentrelData/10k8b.raw"
[ -f "$TARGET" ] && exit 0

ETOPO5=/usr/share/ferret-vis/data/etopo5.cdf
LAND="$DOWNLOADS/world-atlas/package/land-50m.json"
[ -f "$ETOPO5" ] || { echo "10-terrain: $ETOPO5 is missing (Debian package ferret-datasets)" >&2; exit 1; }
[ -f "$LAND" ] || { echo "10-terrain: $LAND is missing (npm package world-atlas)" >&2; exit 1; }

cmake --build "$BUILD_DIR" --target make_terrain >/dev/null
mkdir -p "$OUT/ZentrelData"
"$BUILD_DIR/bin/make_terrain" "$ETOPO5" "$LAND" "$TARGET"
