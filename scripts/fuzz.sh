#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while on its seed corpus.
# Usage: scripts/fuzz.sh [seconds-per-target] [target...]   (default 60 s, every target)
# Findings land in build-fuzz/findings/; keep a crashing input as a regression test.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-60}
shift || true
BUILD_DIR=build-fuzz

if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  CXX=clang++ CC=clang cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZENTREL_BUILD_FUZZERS=ON -DZENTREL_BUILD_GUI=OFF -DZENTREL_BUILD_TESTS=ON >/dev/null
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
cmake --build "$BUILD_DIR" -j "$(nproc)" --target "${targets[@]}"

mkdir -p "$BUILD_DIR/findings"
status=0
for target in "${targets[@]}"; do
  reader=${target#fuzz_}
  work="$BUILD_DIR/corpus/$reader"
  mkdir -p "$work"
  echo "== $target: $SECONDS_EACH s"
  if ! "$BUILD_DIR/bin/$target" "$work" "tests/fuzz/corpus/$reader" -max_total_time="$SECONDS_EACH" \
      -max_len=65536 -rss_limit_mb=1024 -timeout=10 -artifact_prefix="$BUILD_DIR/findings/$reader-" \
      -print_final_stats=1 2>"$BUILD_DIR/$target.log"; then
    echo "   FOUND a problem: see $BUILD_DIR/$target.log and $BUILD_DIR/findings/"
    status=1
  else
    grep -E "stat::number_of_executed_units" "$BUILD_DIR/$target.log" | sed 's/^/   /'
  fi
done
exit $status
