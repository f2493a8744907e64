#!/usr/bin/env bash
# The Debian packages built by debian_build_packages.sh, unpacked with dpkg -x into a scratch root
# (the host's package set stays as it was): their relations, and the command line, the manual
# page and the Python module working from the unpacked files with a clean environment.
# Usage: debian_install_packages.sh BUILD_DIR    (exit 77 = skipped)
set -euo pipefail
BUILD=$(cd "$1" && pwd)
OUT=$BUILD/debian-packages
fail() { echo "FAULT: $*" >&2; exit 1; }
[ -f "$OUT/state" ] || { echo "SKIP: no packages built (debian_build_packages.sh skipped or failed)"; exit 77; }
arch=$(dpkg --print-architecture)
deb() { ls "$OUT/$1"_*_"${2:-$arch}".deb; }

# Relations: the command line pulls in no Qt, the desktop program its data, the data fit any machine.
# Read whole before grep looks at it: with pipefail, grep -q leaving early would fail the pipe.
field() { dpkg-deb -f "$(deb "$@")" "${@:3}"; }
if grep -q 'libqt6' <<<"$(field zentrel "$arch" Depends)"; then fail "zentrel depends on Qt: $(field zentrel "$arch" Depends)"; fi
grep -q 'zentrel-data' <<<"$(field zentrel-gui "$arch" Depends)" || fail "zentrel-gui does not depend on zentrel-data"
grep -q 'libjs-leaflet' <<<"$(field zentrel "$arch" Depends)" || fail "zentrel does not depend on libjs-leaflet (the map page of zentrel serve)"
[ "$(field zentrel-data all Architecture)" = all ] || fail "zentrel-data is not Architecture: all"
grep -q 'python3-numpy' <<<"$(field python3-zentrel "$arch" Depends)" || fail "python3-zentrel does not depend on python3-numpy"
for p in zentrel zentrel-gui python3-zentrel; do
  grep -qi 'station' <<<"$(field "$p" "$arch" Description)" || fail "the description of $p does not say what it estimates from"
done
grep -qi 'real station normals' <<<"$(field zentrel-data all Description)" || fail "zentrel-data does not say it holds real station normals"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
R=$WORK/root
for p in zentrel zentrel-gui python3-zentrel; do dpkg -x "$(deb "$p")" "$R"; done
dpkg -x "$(deb zentrel-data all)" "$R"
[ -f "$R/usr/lib/systemd/system/zentrel.service" ] || [ -f "$R/lib/systemd/system/zentrel.service" ] \
  || fail "zentrel.service is not installed"
postinst=$(dpkg-deb -I "$(deb zentrel)" postinst 2>/dev/null || true)
# Not enabled: the unit is enabled again only where it was before (an upgrade); not started.
if grep -q 'was-enabled' <<<"$postinst" && ! grep -q 'debian-installed' <<<"$postinst"; then
  fail "installing zentrel enables zentrel.service"
fi
if grep -qE 'deb-systemd-invoke .*(start|restart)' <<<"$postinst"; then fail "installing zentrel starts zentrel.service"; fi
for p in zentrel zentrel-gui zentrel-data python3-zentrel; do
  [ -f "$R/usr/share/doc/$p/copyright" ] && [ -f "$R/usr/share/doc/$p/changelog.gz" ] || fail "$p lacks its copyright or changelog"
done
mkdir -p "$WORK/home" "$WORK/elsewhere"
cd "$WORK/elsewhere"
run() { env -i PATH="$R/usr/bin:/usr/bin:/bin" HOME="$WORK/home" LANG=C.UTF-8 "$@"; }

run zentrel --version >version.txt || { cat version.txt; fail "zentrel --version fails from the unpacked package"; }
grep -qF "$R/usr/share/zentrel/ZentrelData (installed)" version.txt || { cat version.txt; fail "the packaged zentrel does not use the packaged data"; }
run zentrel estimate --lon 12.48 --lat 41.9 --var Temp --method described --json >estimate.json || fail "an estimate fails from the unpacked package"

# The module and the program pick the same database and give the same numbers.
run env PYTHONPATH="$R/usr/lib/python3/dist-packages" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 - "$R" <<'PY' || fail "the packaged Python module disagrees with the packaged program"
import json, sys
import numpy as np
import zentrel
root = sys.argv[1]
assert zentrel.__file__.startswith(root), zentrel.__file__
db = zentrel.Database()
assert db.path == root + "/usr/share/zentrel/ZentrelData", db.path
cli = json.load(open("estimate.json"))
cli = cli[0] if isinstance(cli, list) else cli
expected = np.array([np.nan if v is None else v for v in cli["result"]["Best"]], dtype=np.float32)
np.testing.assert_array_equal(db.estimate(12.48, 41.9, method="described").best, expected)
PY

# The manual pages carry nothing of the machine they were built on.
for page in zentrel zentrel-gui; do
  man=$R/usr/share/man/man1/$page.1.gz
  [ -f "$man" ] || fail "no manual page $page.1"
  if zcat "$man" | grep -nE 'hardware thread \(|/debian/build|'"$BUILD" ; then fail "$page.1 names numbers or paths of the build machine"; fi
done
if grep -rlF "$OUT/src" "$R" >leaks.txt; then cat leaks.txt; fail "installed files name the package build folder"; fi
echo "packages: unpacked and working"
