#!/usr/bin/env bash
# The Python module installed with pip into a virtual environment of Debian's python3
# (--no-build-isolation, offline), from a copy of the sources under BUILD_DIR/pip-venv, built
# again only when the sources changed. Installed there it has no build tree to go with: it must
# find the database the zentrel program on PATH uses, else the user's data folder, and else name
# the places it looked.
# Usage: pip_venv_test.sh BUILD_DIR SOURCE_DIR    (exit 77 = skipped)
set -euo pipefail
BUILD=$(cd "$1" && pwd)
SOURCE=$(cd "$2" && pwd)
fail() { echo "FAULT: $*" >&2; exit 1; }
{ /usr/bin/python3 -c 'import setuptools, venv, numpy' && /usr/bin/python3 -m pip --version; } >/dev/null 2>&1 ||
  { echo "SKIP: Debian's python3 lacks venv, pip, setuptools or numpy (scripts/setup.sh installs them)"; exit 77; }
[ -f "$BUILD/bin/ZentrelData/max.txt" ] && [ -x "$BUILD/bin/zentrel" ] ||
  { echo "SKIP: the zentrel program or its data folder is not built"; exit 77; }

OUT=$BUILD/pip-venv
files=$(cd "$SOURCE" && git ls-files -co --exclude-standard | sort)
state=$(cd "$SOURCE" && printf '%s\n' "$files" | tr '\n' '\0' | xargs -0 sha256sum | sha256sum | cut -d' ' -f1)
if [ ! -f "$OUT/state" ] || [ "$(cat "$OUT/state")" != "$state" ]; then
  rm -rf "$OUT/src" "$OUT/env" "$OUT/state"
  mkdir -p "$OUT/src"
  (cd "$SOURCE" && printf '%s\n' "$files" | tr '\n' '\0' | tar --null -T - -cf -) | tar -xf - -C "$OUT/src"
  /usr/bin/python3 -m venv --system-site-packages "$OUT/env"
  start=$(date +%s)
  # Both cores, and ccache relative to the copy, which lies as the clone does: its build finds
  # the objects of the clone's own build.
  (cd "$OUT/src" && CCACHE_BASEDIR="$OUT/src" CMAKE_BUILD_PARALLEL_LEVEL=$(nproc) \
    "$OUT/env/bin/python" -m pip install --no-build-isolation --no-index -q .) >"$OUT/pip.log" 2>&1 ||
    { tail -30 "$OUT/pip.log"; fail "pip install --no-build-isolation . fails in a virtual environment"; }
  echo "pip install: $(( $(date +%s) - start )) s"
  echo "$state" >"$OUT/state"
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
mkdir -p home
module_folder() {  # PATH -> the data folder Database() opens
  env -i PATH="$1" HOME="$WORK/home" "$OUT/env/bin/python" -c 'import zentrel; print(zentrel.Database().path)'
}
program_folder() {  # PATH -> the data folder `zentrel data where` reports
  env -i PATH="$1" HOME="$WORK/home" zentrel data where | sed -n 's/^Data folder: \(.*\) (.*)$/\1/p'
}
# The program on PATH: both pick its database.
P="$BUILD/bin:/usr/bin:/bin"
[ "$(module_folder "$P")" = "$(program_folder "$P")" ] ||
  fail "with $BUILD/bin on PATH the module opens $(module_folder "$P"), the program $(program_folder "$P")"
# No program on PATH (unless the host has one installed): the user's data folder, as the programs
# would take it after their own.
if env -i PATH=/usr/bin:/bin sh -c 'command -v zentrel' >/dev/null; then
  echo "pip: the module in a virtual environment finds the programs' database (a zentrel is installed on this host: the rest is skipped)"
  exit 0
fi
if env -i PATH=/usr/bin:/bin HOME="$WORK/home" "$OUT/env/bin/python" -c 'import zentrel; zentrel.Database()' 2>err.txt; then
  fail "without a database the module opened one"
fi
grep -q "$WORK/home/.local/share/zentrel/ZentrelData" err.txt && grep -q 'data=' err.txt && grep -q ZENTREL_DATA err.txt ||
  { cat err.txt; fail "the module's error does not name where it looked, data= and ZENTREL_DATA"; }
mkdir -p home/.local/share/zentrel
ln -s "$BUILD/bin/ZentrelData" home/.local/share/zentrel/ZentrelData
[ "$(module_folder /usr/bin:/bin)" = "$WORK/home/.local/share/zentrel/ZentrelData" ] ||
  fail "the module does not find the user's data folder: $(module_folder /usr/bin:/bin)"
echo "pip: the module in a virtual environment finds the programs' database"
