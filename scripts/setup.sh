#!/usr/bin/env bash
# Installs the Debian packages Zentrel needs, builds everything and lays out the default data folder.
# Usage: scripts/setup.sh [build-dir]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}

PACKAGES=(cmake ninja-build g++ clang libgtest-dev libbenchmark-dev qt6-base-dev libgl-dev
  libnetcdf-dev ferret-datasets libgdal-dev gdal-bin libfmt-dev libcli11-dev nlohmann-json3-dev
  xvfb xauth imagemagick poppler-utils fonts-dejavu-core
  pybind11-dev python3-dev python3-numpy python3-pytest python3-pandas python3-xarray python3-netcdf4
  python3-pip python3-venv python3-mypy
  help2man desktop-file-utils dpkg-dev man-db ccache
  debhelper dh-python lintian
  libcpp-httplib-dev libjs-leaflet)
# The map page's browser test (tests/serve/map_page_test.py) also wants chromium,
# chromium-driver and python3-selenium; they are large and left out here: the test is skipped
# without them (docs/service.md says how to add them).

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

# ccache makes a rebuild in a fresh clone mostly cache hits: paths below the repository are
# hashed relative to it, so a clone in another folder finds the objects of this one.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
# ccache counts the locale in its key, and the Debian package build compiles with LC_ALL=C.UTF-8:
# the same here, so that the package build finds this build's objects.
export LC_ALL=C.UTF-8
LAUNCHER=(); command -v ccache >/dev/null && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Configured once with the flags of the Debian package build (scripts/build-flags.sh), whose build
# then takes these objects from ccache.
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  CXXFLAGS="${CXXFLAGS:-$(scripts/build-flags.sh)}" cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release "${LAUNCHER[@]}"
else
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release "${LAUNCHER[@]}"
fi
cmake --build "$BUILD_DIR" -j "$(nproc)"

# The default data folder beside the programs (built once; rebuilt when missing).
if [ -x scripts/build-data.sh ]; then
  scripts/build-data.sh "$BUILD_DIR"
fi
echo "setup: done. Programs are in $BUILD_DIR/bin; the Python package: PYTHONPATH=$BUILD_DIR/python /usr/bin/python3"
