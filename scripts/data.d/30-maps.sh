#!/usr/bin/env bash
# Map files: ZentrelData/Worad1.bna and woma.bmp, and the elevation background map
# rastelldata/Elevation.img with its .clr, .cty and .bnd companions. Needs 10k8b.raw.
# Usage: 30-maps.sh BUILD_DIR DOWNLOADS OUT   (skipped when the outputs exist)
set -euo pipefail
BUILD_DIR=$1 DOWNLOADS=$2 OUT=$3
DATA="$OUT/ZentrelData" MAPS="$OUT/rastelldata"
COUNTRIES="$DOWNLOADS/world-atlas/package/countries-50m.json"

# The capital layer of the background map follows the capital file whenever that changes.
refresh_capitals() {
  if [ -f "$DATA/WorldCap.bna" ] && [ -f "$MAPS/Elevation.cty" ] && ! cmp -s "$DATA/WorldCap.bna" "$MAPS/Elevation.cty"; then
    cp "$DATA/WorldCap.bna" "$MAPS/Elevation.cty.part" && mv "$MAPS/Elevation.cty.part" "$MAPS/Elevation.cty"
  fi
}

done_already=1
for f in "$DATA/Worad1.bna" "$DATA/woma.bmp" "$MAPS/Elevation.img" "$MAPS/Elevation.clr" \
         "$MAPS/Elevation.cty" "$MAPS/Elevation.bnd"; do
  [ -f "$f" ] || done_already=0
done
if [ $done_already = 1 ]; then refresh_capitals; exit 0; fi

[ -f "$DATA/10k8b.raw" ] || { echo "30-maps: $DATA/10k8b.raw is missing (run 10-terrain.sh first)" >&2; exit 1; }
[ -f "$COUNTRIES" ] || { echo "30-maps: $COUNTRIES is missing (npm package world-atlas)" >&2; exit 1; }
cmake --build "$BUILD_DIR" --target make_maps >/dev/null
"$BUILD_DIR/bin/make_maps" "$COUNTRIES" "$DATA" "$MAPS"
