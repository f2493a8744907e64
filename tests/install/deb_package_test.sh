#!/usr/bin/env bash
# Builds the Debian package with cpack and inspects it without installing it: name, library
# dependencies found by dpkg-shlibdeps, contents; then runs the program unpacked from it.
# Usage: deb_package_test.sh BUILD_DIR VERSION    (exit 77 = skipped)
set -euo pipefail
BUILD=$(cd "$1" && pwd)
VERSION=$2
fail() { echo "FAULT: $*" >&2; exit 1; }
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/setup.sh installs dpkg-dev)"; exit 77; }
done
[ -f "$BUILD/bin/ZentrelData/max.txt" ] || { echo "SKIP: the data folder is not built (scripts/build-data.sh)"; exit 77; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/out" >cpack.log 2>&1 || { cat cpack.log; fail "cpack -G DEB failed"; }
arch=$(dpkg --print-architecture)
deb=$WORK/out/zentrel_${VERSION}_${arch}.deb
[ -f "$deb" ] || { ls "$WORK/out"; fail "no package named zentrel_${VERSION}_${arch}.deb"; }

dpkg-deb -I "$deb" >info.txt
grep -q '^ Package: zentrel$' info.txt || { cat info.txt; fail "the package is not called zentrel"; }
grep -q "^ Version: $VERSION$" info.txt || { cat info.txt; fail "the package version is not $VERSION"; }
depends=$(sed -n 's/^ Depends: //p' info.txt)
for lib in libc6 libstdc++6 libgdal libqt6widgets6; do
  echo "$depends" | grep -q "$lib" || { cat info.txt; fail "the computed dependencies lack $lib"; }
done

dpkg-deb -c "$deb" | awk '{print $6}' >contents.txt
for f in ./usr/bin/zentrel ./usr/bin/zentrel-gui ./usr/share/zentrel/ZentrelData/10k8b.raw \
         ./usr/share/zentrel/ZentrelData/about.txt ./usr/share/zentrel/rastelldata/ \
         ./usr/share/applications/zentrel.desktop ./usr/share/icons/hicolor/scalable/apps/zentrel.svg \
         ./usr/share/man/man1/zentrel.1.gz ./usr/share/doc/zentrel/copyright; do
  grep -qxF "$f" contents.txt || fail "the package lacks $f"
done
grep -q '^./usr/local' contents.txt && fail "the package installs under /usr/local"

# Unpacked (not installed), the program finds the package's data from its own folder.
dpkg-deb -x "$deb" root
env -i PATH=/usr/bin:/bin HOME="$WORK" root/usr/bin/zentrel data where >where.txt || { cat where.txt; fail "the packaged zentrel cannot find its data"; }
grep -qF "Data folder: $WORK/root/usr/share/zentrel/ZentrelData (installed)" where.txt || { cat where.txt; fail "the packaged zentrel does not use the packaged data"; }
echo "package: all checks passed ($(du -h "$deb" | cut -f1))"
