#!/usr/bin/env bash
# Runs the whole test suite. Sets up packages and the build first when they are missing.
# Usage: scripts/test.sh [build-dir]   (default: build)
# A second pass builds the core and command-line tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in <build-dir>-asan and runs them; ZENTREL_SANITIZER_PASS=0 skips it.
# The tests run with an empty home of their own and without ZENTREL_DATA, so that nothing of
# Zentrel installed on this machine (a user's data folder, an installed prefix's maps) answers
# for the build: a test that needs such a folder makes it.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}
# ccache hashes paths relative to the repository, so a clone in another folder hits the cache.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
# ccache counts the locale in its key, and the Debian package build compiles with LC_ALL=C.UTF-8:
# the same here, so that the package build finds this build's objects.
export LC_ALL=C.UTF-8
# The cache stays the caller's when the tests get a home of their own (the package and
# virtual-environment tests compile too).
command -v ccache >/dev/null && export CCACHE_DIR=${CCACHE_DIR:-$(ccache -k cache_dir)}

if ! command -v cmake >/dev/null || ! command -v ninja >/dev/null || [ ! -f "$BUILD_DIR/build.ninja" ] \
   || [ ! -f /usr/share/ferret-vis/data/etopo5.cdf ] || ! dpkg-query -W qt6-base-dev >/dev/null 2>&1 \
   || ! dpkg-query -W pybind11-dev >/dev/null 2>&1 || ! dpkg-query -W libcpp-httplib-dev >/dev/null 2>&1 \
   || [ ! -f /usr/share/javascript/leaflet/leaflet.js ]; then
  scripts/setup.sh "$BUILD_DIR"
  command -v ccache >/dev/null && export CCACHE_DIR=${CCACHE_DIR:-$(ccache -k cache_dir)}
else
  cmake --build "$BUILD_DIR" -j "$(nproc)"
  [ -x scripts/build-data.sh ] && scripts/build-data.sh "$BUILD_DIR"
fi

TEST_HOME=$(mktemp -d "${TMPDIR:-/tmp}/zentrel-test-home.XXXXXX")
trap 'rm -rf "$TEST_HOME"' EXIT
isolated() {  # runs a command with the empty home and no data folder from the environment
  env -u ZENTREL_DATA HOME="$TEST_HOME" XDG_DATA_HOME="$TEST_HOME/.local/share" \
    XDG_CONFIG_HOME="$TEST_HOME/.config" XDG_CACHE_HOME="$TEST_HOME/.cache" "$@"
}

(cd "$BUILD_DIR" && isolated ctest --output-on-failure -j "$(nproc)" --timeout 600)

if [ "${ZENTREL_SANITIZER_PASS:-1}" = 1 ]; then
  ASAN_DIR="$BUILD_DIR-asan"
  echo "== Sanitizer pass (AddressSanitizer + UndefinedBehaviorSanitizer) in $ASAN_DIR"
  if [ ! -f "$ASAN_DIR/build.ninja" ]; then
    LAUNCHER=(); command -v ccache >/dev/null && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    # -O1 with line tables only (-g1): faster to compile than -O2 -g, and the reports still name
    # the function and line.
    cmake -S . -B "$ASAN_DIR" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g1" -DZENTREL_SANITIZE=ON \
      -DZENTREL_BUILD_GUI=OFF -DZENTREL_BUILD_PYTHON=OFF -DZENTREL_BUILD_BENCH=OFF -DZENTREL_BUILD_TESTS=ON \
      "${LAUNCHER[@]}" >/dev/null
  fi
  # Only what this pass runs: the core and command-line tests and the program they drive.
  cmake --build "$ASAN_DIR" -j "$(nproc)" --target zentrel core_tests cli_tests write_spy
  # The data and map folders of the first build beside the sanitized programs, linked, not
  # built again: no test skips for want of data.
  for folder in ZentrelData DemoData rastelldata; do
    [ -e "$BUILD_DIR/bin/$folder" ] || continue
    [ -L "$ASAN_DIR/bin/$folder" ] || [ ! -e "$ASAN_DIR/bin/$folder" ] || rm -rf "$ASAN_DIR/bin/$folder"
    ln -sfn "$(cd "$BUILD_DIR/bin" && pwd)/$folder" "$ASAN_DIR/bin/$folder"
  done
  # Leaks are findings too; a report fails the test that caused it. The install, package and
  # virtual-environment tests belong to the first pass.
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  (cd "$ASAN_DIR" && isolated ctest --output-on-failure -j "$(nproc)" --timeout 900 -E '^(install_|debian_packages_|python_pip_venv)')
fi
