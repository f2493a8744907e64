#!/usr/bin/env bash
# The default station database in ZentrelData: the real station normals of the committed table
# data/station-normals.csv (five sources, one station per place, 1991-2020) with the list of the
# stations its quality control left out (data/excluded-stations.csv), imported with zentrel data
# import-csv, and the capital file from the demonstration step. Rebuilt when a table changed or
# the folder still holds the emulated database of older builds. The import also prepares the
# kriging method's models, so that the first estimate needs no derivation.
# Usage: 25-stations.sh BUILD_DIR DOWNLOADS OUT
set -euo pipefail
BUILD_DIR=$1 OUT=$3
DATA="$OUT/ZentrelData"
TABLE=data/station-normals.csv
EXCLUDED=data/excluded-stations.csv
STAMP="$BUILD_DIR/station-normals.stamp"

for f in "$TABLE" "$EXCLUDED"; do [ -f "$f" ] || { echo "25-stations: $f is missing" >&2; exit 1; }; done
[ -f "$OUT/DemoData/WorldCap.bna" ] || { echo "25-stations: $OUT/DemoData/WorldCap.bna is missing (20-demo-stations.sh)" >&2; exit 1; }
[ -f "$DATA/WorldCap.bna" ] && cmp -s "$OUT/DemoData/WorldCap.bna" "$DATA/WorldCap.bna" ||
  cp "$OUT/DemoData/WorldCap.bna" "$DATA/WorldCap.bna"

sum=$(cat "$TABLE" "$EXCLUDED" | sha256sum | cut -d' ' -f1)
if [ ! -e "$DATA/DEMONSTRATION" ] && [ -f "$DATA/about.txt" ] && [ -f "$STAMP" ] && [ "$(cat "$STAMP")" = "$sum" ]; then
  echo "25-stations: station database already there, skipped"
  exit 0
fi
cmake --build "$BUILD_DIR" --target zentrel >/dev/null
"$BUILD_DIR/bin/zentrel" data import-csv --in "$TABLE" --excluded "$EXCLUDED" --out "$DATA" | sed 's/^/25-stations: /'
echo "$sum" >"$STAMP"
