#!/usr/bin/env bash
# Remakes the pictures of docs/tour.md from the default data: the desktop program's tour
# pictures test runs under a virtual display, then the chosen shots are cut to 256 colours.
# Needs the data folder built (scripts/build-data.sh), xvfb-run, ImageMagick and pdftoppm.
# Usage: scripts/tour-pictures.sh [build-dir]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=$(cd "${1:-build}" && pwd)
DATA="$BUILD_DIR/bin/ZentrelData"
[ -f "$DATA/max.txt" ] || { echo "tour-pictures: $DATA is not built (scripts/build-data.sh)" >&2; exit 1; }
cmake --build "$BUILD_DIR" --target gui_tour_pictures_test

SHOTS=$(mktemp -d)
trap 'rm -rf "$SHOTS"' EXIT
export ZENTREL_SCREENSHOT_DIR="$SHOTS" ZENTREL_SCREENSHOT_DATA="$DATA"
shoot() {  # test program, test functions
  local program=$1; shift
  xvfb-run -a -s "-screen 0 1400x1000x24" "$BUILD_DIR/bin/$program" "$@" >"$SHOTS/$program.log" 2>&1 \
    || { cat "$SHOTS/$program.log" >&2; echo "tour-pictures: $program failed" >&2; exit 1; }
}
shoot gui_tour_pictures_test

# name in docs <- shot
pick() {  # name shot [ImageMagick options]
  local name=$1 shot=$2
  shift 2
  [ -f "$SHOTS/$shot" ] || { echo "tour-pictures: the shot $shot was not made" >&2; exit 1; }
  convert "$SHOTS/$shot" "$@" -strip -dither None -colors 256 "PNG8:docs/$name"
  local size
  size=$(stat -c %s "docs/$name")
  echo "docs/$name <- $shot ($((size / 1024)) KB)"
  [ "$size" -lt 300000 ] || { echo "tour-pictures: docs/$name is over 300 KB" >&2; exit 1; }
}
pick tour-estimate.png view_data_1_1.png
pick tour-estimate-table.png view_data_1_2.png
pick tour-workbench.png workbench_2_0.png
pick tour-raster-export.png map_raster_export.png
pick tour-raster-map.png map_raster_exported.png
# The first page of the printed report, as paper: rendered from the PDF the printer got.
pdftoppm -png -r 80 -f 1 -l 1 -singlefile "$SHOTS/report.pdf" "$SHOTS/report"
pick tour-report.png report.png -bordercolor '#9a9a9a' -border 1
