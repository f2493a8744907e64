#!/usr/bin/env bash
# Regenerates the committed station tables from the sources in ../shared/data:
#  1. data/climat-normals.csv from the CLIMAT sample with zentrel data import-climat (default rules:
#     at least 10 valid years per month); the same sample gives the same bytes;
#  2. data/station-normals.csv, data/period-offsets.csv and data/excluded-stations.csv with
#     tools/normals/derive.py from all five sources: a first pass, a leave-one-out run of
#     zentrel validate on it (robust method: kriging takes more than 5 minutes per variable at this
#     size) and the final pass that leaves out the stations far off their neighbours.
# Usage: scripts/make-normals-table.sh [build-dir]   (ZENTREL_CLIMAT names another CLIMAT folder,
#        ZENTREL_SOURCES another folder of the five sources)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}
SOURCES=${ZENTREL_SOURCES:-../shared/data}
CLIMAT=${ZENTREL_CLIMAT:-$SOURCES/climat}
PYTHON=${PYTHON:-/usr/bin/python3}
[ -f "$CLIMAT/stations_list_CLIMAT_data.txt" ] || {
  echo "make-normals-table: no CLIMAT sample in $CLIMAT (stations_list_CLIMAT_data.txt is missing)" >&2; exit 1; }
cmake --build "$BUILD_DIR" --target zentrel >/dev/null
TERRAIN="$BUILD_DIR/bin/ZentrelData/10k8b.raw"
[ -f "$TERRAIN" ] || { echo "make-normals-table: $TERRAIN is missing (scripts/build-data.sh makes it)" >&2; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"$BUILD_DIR/bin/zentrel" data import-climat --in "$CLIMAT" --stations "$CLIMAT/stations_list_CLIMAT_data.txt" \
  --csv data/climat-normals.csv 2>"$WORK/problems"
echo "make-normals-table: $(wc -l <"$WORK/problems") problems in the reports (records dropped, see import-climat)"

# First pass, and every station held out in turn against its neighbours.
mkdir -p "$WORK/first" "$WORK/data"
"$PYTHON" tools/normals/derive.py --shared "$SOURCES" --terrain "$TERRAIN" --out "$WORK/first" \
  --importable "$WORK/first/importable.csv" 2>/dev/null
cp "$TERRAIN" "$WORK/data/"
"$BUILD_DIR/bin/zentrel" data import-csv --in "$WORK/first/importable.csv" --out "$WORK/data" >/dev/null 2>&1
"$BUILD_DIR/bin/zentrel" validate --data "$WORK/data" --loo --method robust --csv "$WORK/residuals.csv" >/dev/null
"$PYTHON" tools/normals/derive.py --shared "$SOURCES" --terrain "$TERRAIN" --residuals "$WORK/residuals.csv" --out data
