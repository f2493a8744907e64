#!/usr/bin/env bash
# Regenerates the committed table of station normals data/climat-normals.csv from the CLIMAT
# sample in ../shared/data/climat with zentrel data import-climat (default rules: at least 10
# valid years per month). The same sample gives the same bytes.
# Usage: scripts/make-normals-table.sh [build-dir]   (ZENTREL_CLIMAT names another sample folder)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}
CLIMAT=${ZENTREL_CLIMAT:-../shared/data/climat}
[ -f "$CLIMAT/stations_list_CLIMAT_data.txt" ] || {
  echo "make-normals-table: no CLIMAT sample in $CLIMAT (stations_list_CLIMAT_data.txt is missing)" >&2; exit 1; }
cmake --build "$BUILD_DIR" --target zentrel >/dev/null
PROBLEMS=$(mktemp)
trap 'rm -f "$PROBLEMS"' EXIT
"$BUILD_DIR/bin/zentrel" data import-climat --in "$CLIMAT" --stations "$CLIMAT/stations_list_CLIMAT_data.txt" \
  --csv data/climat-normals.csv 2>"$PROBLEMS"
echo "make-normals-table: $(wc -l <"$PROBLEMS") problems in the reports (records dropped, see import-climat)"
