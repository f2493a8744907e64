#!/usr/bin/env bash
# Runs the whole test suite. Sets up packages and the build first when they are missing.
# Usage: scripts/test.sh [build-dir]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}

if ! command -v cmake >/dev/null || ! command -v ninja >/dev/null || [ ! -f "$BUILD_DIR/build.ninja" ] \
   || [ ! -f /usr/share/ferret-vis/data/etopo5.cdf ] || ! dpkg-query -W qt6-base-dev >/dev/null 2>&1; then
  scripts/setup.sh "$BUILD_DIR"
else
  cmake --build "$BUILD_DIR" -j "$(nproc)"
  [ -x scripts/build-data.sh ] && scripts/build-data.sh "$BUILD_DIR"
fi

cd "$BUILD_DIR"
ctest --output-on-failure -j "$(nproc)" --timeout 600
