#!/usr/bin/env bash
# The hold-out validation runs behind docs/accuracy.md, on the default data folder: 10 folds
# (seed 1) and leave one out, each with the described method and with the robust corrections.
# Text reports and JSON go to the output folder (default: build/accuracy).
# Usage: scripts/accuracy.sh [build-dir] [out-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}
OUT=${2:-$BUILD_DIR/accuracy}
DATA="$BUILD_DIR/bin/ZentrelData"
mkdir -p "$OUT"
cmake --build "$BUILD_DIR" --target zentrel >/dev/null
# Method name and its options; a new method is one more line here and one more column in the doc.
METHODS=("described:--robust 0" "robust:--robust 1")
for m in "${METHODS[@]}"; do
  name=${m%%:*} options=${m#*:}
  # shellcheck disable=SC2086
  "$BUILD_DIR/bin/zentrel" validate --data "$DATA" --folds 10 --seed 1 $options --json "$OUT/folds-$name.json" >"$OUT/folds-$name.txt"
  # shellcheck disable=SC2086
  "$BUILD_DIR/bin/zentrel" validate --data "$DATA" --loo $options --json "$OUT/loo-$name.json" >"$OUT/loo-$name.txt"
  echo "accuracy: $name done"
done
"$BUILD_DIR/bin/zentrel" data info --data "$DATA" >"$OUT/data-info.txt"
