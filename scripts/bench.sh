#!/usr/bin/env bash
# Runs the benchmarks on the demonstration database DemoData (a dense network of 20000 stations)
# and prints their ratios; each names the database it ran on.
# Usage: scripts/bench.sh [build-dir] [points]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}
cmake --build "$BUILD_DIR" --target bench_engine >/dev/null
"$BUILD_DIR/bin/bench_engine" "$BUILD_DIR/bin/DemoData" "${2:-2000}"
cmake --build "$BUILD_DIR" --target bench_batch >/dev/null
"$BUILD_DIR/bin/bench_batch" "$BUILD_DIR/bin/DemoData"
cmake --build "$BUILD_DIR" --target bench_raster >/dev/null
"$BUILD_DIR/bin/bench_raster" "$BUILD_DIR/bin/DemoData"
if [ -d "$BUILD_DIR/python/zentrel" ]; then
  cmake --build "$BUILD_DIR" --target _zentrel zentrel >/dev/null
  PYTHONPATH="$BUILD_DIR/python" /usr/bin/python3 bench/bench_python.py "$BUILD_DIR"
fi
