#!/usr/bin/env bash
# Installs into a temporary prefix, moves it, and runs the installed programs from another folder
# with a clean environment: they must find the installed data and need nothing of the build tree.
# Usage: install_prefix_test.sh BUILD_DIR SOURCE_DIR    (exit 77 = skipped)
set -euo pipefail
BUILD=$(cd "$1" && pwd)
SOURCE=$(cd "$2" && pwd)
fail() { echo "FAULT: $*" >&2; exit 1; }
for tool in desktop-file-validate man; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/setup.sh installs it)"; exit 77; }
done
[ -f "$BUILD/bin/ZentrelData/max.txt" ] || { echo "SKIP: the data folder is not built (scripts/build-data.sh)"; exit 77; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cmake --install "$BUILD" --prefix "$WORK/first" >"$WORK/install.log" 2>&1 || { cat "$WORK/install.log"; fail "cmake --install failed"; }
# Moved after installing: the programs must find their data from where they are now.
mv "$WORK/first" "$WORK/prefix"
P=$WORK/prefix
mkdir -p "$WORK/elsewhere" "$WORK/home"
cd "$WORK/elsewhere"
# No ZENTREL_DATA, no XDG_DATA_HOME, a fresh home.
run() { env -i PATH=/usr/bin:/bin HOME="$WORK/home" LANG=C.UTF-8 "$@"; }

for f in bin/zentrel bin/zentrel-gui share/zentrel/ZentrelData/10k8b.raw share/zentrel/ZentrelData/max.txt \
         share/zentrel/rastelldata share/applications/zentrel.desktop share/icons/hicolor/scalable/apps/zentrel.svg \
         share/man/man1/zentrel.1.gz share/man/man1/zentrel-gui.1.gz \
         share/doc/zentrel/README.md share/doc/zentrel/DATA.md share/doc/zentrel/copyright; do
  [ -e "$P/$f" ] || fail "the installation lacks $f"
done

# The lookup picks the installed data folder and says so.
run "$P/bin/zentrel" data where >where.txt || { cat where.txt; fail "zentrel data where failed in the installation"; }
grep -qF "Data folder: $P/share/zentrel/ZentrelData (installed)" where.txt || { cat where.txt; fail "the installed program does not use its installed data folder"; }
grep -qF "Map folder: $P/share/zentrel/rastelldata" where.txt || { cat where.txt; fail "the installed program does not find its installed maps"; }
run "$P/bin/zentrel" --version >version.txt || fail "zentrel --version failed"
head -1 version.txt | grep -qE '^zentrel [0-9]+\.[0-9]+\.[0-9]+' || { cat version.txt; fail "zentrel --version does not start with the version"; }
grep -qE 'Database: .*, built [0-9]{4}-[0-9]{2}-[0-9]{2}' version.txt || { cat version.txt; fail "zentrel --version does not name the database and its date"; }
grep -qF "$P/share/zentrel/ZentrelData (installed)" <<<"$(run "$P/bin/zentrel-gui" --version)" || fail "zentrel-gui --version does not name the installed data folder"

run "$P/bin/zentrel" estimate --lon 12.48 --lat 41.9 --var Temp >estimate.txt || { cat estimate.txt; fail "an estimate fails in the installation"; }
grep -q 'Temp' estimate.txt || fail "the installed estimate prints no Temp table"
run "$P/bin/zentrel" raster --var Temp --period 7 --bbox 10,40,14,44 --res 1 -o july.tif --quiet >raster.txt || { cat raster.txt; fail "a raster export fails in the installation (land mask from the installed maps)"; }
[ -s july.tif ] || fail "the installed raster export wrote no file"

# An import without --out goes to the user's data folder, which is then used; the installed one is untouched.
before=$(cd "$P/share/zentrel" && ls -lR --time-style=full-iso)
run "$P/bin/zentrel" data import-csv --in "$SOURCE/tests/data/csv/normals.csv" >import.txt 2>import.err || { cat import.txt; fail "an import without --out fails"; }
grep -qF "written to $WORK/home/.local/share/zentrel/ZentrelData" import.txt || { cat import.txt; fail "an import without --out does not say it wrote the user data folder"; }
[ "$before" = "$(cd "$P/share/zentrel" && ls -lR --time-style=full-iso)" ] || fail "an import changed the installed data folder"
grep -qF "(user data folder)" <<<"$(run "$P/bin/zentrel" data where)" || fail "the user's imported database is not used after the installed one"
[ -e "$WORK/home/.local/share/zentrel/ZentrelData/10k8b.raw" ] || fail "the user data folder did not get the elevation raster of the installed one"

# Manual page and menu entry.
MANPAGER=cat MANWIDTH=100 run man -l "$P/share/man/man1/zentrel.1.gz" >man.txt 2>man.err || fail "man cannot show zentrel.1"
for heading in NAME SYNOPSIS COMMANDS 'DATA FOLDER' ENVIRONMENT; do
  grep -q "^$heading" man.txt || fail "zentrel.1 has no section $heading"
done
grep -q 'zentrel estimate' man.txt || fail "zentrel.1 lacks the help of zentrel estimate"
# The page is built on one machine and read on others: nothing of the build machine in it.
if grep -nE 'hardware threads? \(|at most [0-9]+ \(' man.txt; then fail "zentrel.1 prints the build machine's thread count"; fi
desktop-file-validate "$P/share/applications/zentrel.desktop" || fail "zentrel.desktop is not a valid desktop entry"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$P/share/applications/zentrel.desktop")
[ -x "$P/bin/$exec_name" ] || fail "the menu entry starts $exec_name, which is not installed"

for program in zentrel zentrel-gui; do
  if grep -qE 'RPATH|RUNPATH' <<<"$(readelf -d "$P/bin/$program")"; then fail "the installed $program keeps a run path"; fi
done
# Nothing installed names the build tree (no run path, no data path, no manual page path).
if grep -rlF "$BUILD" "$P" >leaks.txt; then cat leaks.txt; fail "installed files name the build folder $BUILD"; fi
echo "install: all checks passed"
