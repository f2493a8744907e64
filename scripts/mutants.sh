#!/usr/bin/env bash
# Plants the faults of tests/mutants/faults.list one at a time and checks that the named tests
# catch each of them. The faults go into a scratch copy of the tree (<repo>/build-mutants/tree),
# never into the checkout, so an interrupted run leaves nothing changed.
# Usage: scripts/mutants.sh [-l] [REGEX...]   (-l lists the entries; REGEX picks entries by name)
# Entries of the desktop program (binary gui_*) build the scratch tree with the GUI and run
# offscreen. Environment: MUTANT_JOBS (build jobs, default 1), MUTANT_DIR (scratch folder),
#              MUTANT_TIMEOUT (seconds a test run may take, default 600).
set -euo pipefail
# The whole script is one block, read before it runs: editing the file during a run is safe.
{
REPO=$(cd "$(dirname "$0")/.." && pwd)
LIST=$REPO/tests/mutants/faults.list
SCRATCH=${MUTANT_DIR:-$REPO/build-mutants}
TREE=$SCRATCH/tree
BUILD=$TREE/build
JOBS=${MUTANT_JOBS:-1}
TIMEOUT=${MUTANT_TIMEOUT:-600}
# The scratch build lies as deep below its tree as build/ below the checkout, so ccache (with
# base_dir at the repository and no hashed working folder) serves the objects the checkout made.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$REPO} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
# ccache counts the locale in its key, and the Debian package build compiles with LC_ALL=C.UTF-8:
# the same here, so that the package build finds this build's objects.
export LC_ALL=C.UTF-8

# Entries: name, test binary (core_tests, cli_tests, python or tools), gtest filter or pytest arguments
# (no blanks), source file, and the sed script that plants the fault (the rest of the line).
entries() { grep -v '^[[:space:]]*\(#\|$\)' "$LIST"; }

if [ "${1:-}" = -l ]; then entries | awk '{print $1 "\t" $2 "\t" $3 "\t" $4}'; exit 0; fi
pick() {
  local name=$1
  [ $# -eq 1 ] && return 0
  shift
  for re in "$@"; do [[ $name =~ $re ]] && return 0; done
  return 1
}

# --- the scratch tree: the checkout's files as they are now (uncommitted changes included) ---
mkdir -p "$TREE"
planted=""
restore() {
  if [ -n "$planted" ]; then cp "$REPO/$planted" "$TREE/$planted"; planted=""; fi
}
trap 'restore' EXIT
trap 'restore; echo "mutants: interrupted; the checkout was never changed"; exit 130' INT TERM

(cd "$REPO" && git ls-files -co --exclude-standard) | sort > "$SCRATCH/files.now"
while IFS= read -r f; do
  [ -f "$REPO/$f" ] || continue
  if ! cmp -s "$REPO/$f" "$TREE/$f" 2>/dev/null; then
    mkdir -p "$(dirname "$TREE/$f")"
    cp "$REPO/$f" "$TREE/$f"  # a fresh time stamp: ninja rebuilds what depends on it
  fi
done < "$SCRATCH/files.now"
# Files the checkout no longer has would still be picked up by the test globs.
if [ -f "$SCRATCH/files.before" ]; then
  comm -23 "$SCRATCH/files.before" "$SCRATCH/files.now" | while IFS= read -r f; do rm -f "$TREE/$f"; done
fi
mv "$SCRATCH/files.now" "$SCRATCH/files.before"

if [ ! -f "$BUILD/build.ninja" ]; then
  LAUNCHER=(); command -v ccache >/dev/null && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  CXXFLAGS="${CXXFLAGS:-$("$REPO/scripts/build-flags.sh")}" cmake -S "$TREE" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENTREL_BUILD_GUI=OFF \
    -DZENTREL_SHARED_DATA="$REPO/../shared/data" "${LAUNCHER[@]}" >/dev/null
fi
# The data folders beside the programs: the checkout's build has them; made from scratch otherwise.
for d in ZentrelData DemoData rastelldata; do
  if [ ! -e "$BUILD/bin/$d" ]; then
    mkdir -p "$BUILD/bin"
    if [ -d "$REPO/build/bin/$d" ]; then cp -a "$REPO/build/bin/$d" "$BUILD/bin/"; else NEED_DATA=1; fi
  fi
done

target_of() { case $1 in python) echo "_zentrel zentrel" ;; serve) echo zentrel ;; tools) ;; *) echo "$1" ;; esac; }
build() { [ $# -gt 0 ] || return 0; cmake --build "$BUILD" -j "$JOBS" --target "$@" >"$SCRATCH/build.log" 2>&1; }
run_tests() {  # binary, filter
  case $1 in
    python)  # the arguments split at commas and blanks on purpose
      # shellcheck disable=SC2086
      (cd "$TREE/tests/python" && PYTHONPATH="$BUILD/python" ZENTREL_BIN="$BUILD/bin/zentrel" PYTHONDONTWRITEBYTECODE=1 \
        timeout "$TIMEOUT" /usr/bin/python3 -m pytest -q -x -p no:cacheprovider ${2//,/ }) ;;
    tools)  # the Python tools' tests run on the tree's sources; nothing to build
      # shellcheck disable=SC2086
      (cd "$TREE/tests/tools" && PYTHONPATH="$TREE" PYTHONDONTWRITEBYTECODE=1 \
        timeout "$TIMEOUT" /usr/bin/python3 -m pytest -q -x -p no:cacheprovider ${2//,/ }) ;;
    serve)  # pytest arguments below tests/serve, joined by commas
      # shellcheck disable=SC2086
      (cd "$TREE/tests/serve" && ZENTREL_BIN="$BUILD/bin/zentrel" PYTHONDONTWRITEBYTECODE=1 \
        timeout "$TIMEOUT" /usr/bin/python3 -m pytest -q -x -p no:cacheprovider ${2//,/ }) ;;
    gui_*)  # Qt Test: the filter names test functions, joined by commas
      # shellcheck disable=SC2086
      (cd "$BUILD" && QT_QPA_PLATFORM=offscreen timeout "$TIMEOUT" "bin/$1" ${2//,/ }) ;;
    *) (cd "$BUILD" && timeout "$TIMEOUT" "bin/$1" --gtest_filter="$2" --gtest_brief=1) ;;
  esac >"$SCRATCH/test.log" 2>&1
}

# --- the tests must pass on the unchanged tree first, or a catch would prove nothing ---
mapfile -t chosen < <(entries | while read -r name binary filter file script; do
  pick "$name" "$@" && printf '%s\n' "$name"$'\t'"$binary"$'\t'"$filter"$'\t'"$file"$'\t'"$script"; done)
[ ${#chosen[@]} -gt 0 ] || { echo "mutants: no entry matches"; exit 2; }
targets=$(printf '%s\n' "${chosen[@]}" | cut -f2 | sort -u | while read -r b; do target_of "$b"; done)
if [[ $targets == *gui_* ]] && grep -q '^ZENTREL_BUILD_GUI:BOOL=OFF' "$BUILD/CMakeCache.txt"; then
  cmake -S "$TREE" -B "$BUILD" -DZENTREL_BUILD_GUI=ON >/dev/null
fi
# shellcheck disable=SC2086
build zentrel $targets || { echo "mutants: the unchanged tree does not build (see $SCRATCH/build.log)"; exit 2; }
[ -n "${NEED_DATA:-}" ] && "$TREE/scripts/build-data.sh" "$BUILD" >/dev/null
broken=0
while IFS=$'\t' read -r binary filter; do
  if ! run_tests "$binary" "$filter"; then
    echo "mutants: $binary $filter fails without any fault:"; tail -20 "$SCRATCH/test.log"; broken=1
  elif grep -q '^\[==========\] 0 tests' "$SCRATCH/test.log"; then
    echo "mutants: the filter $filter names no test of $binary"; broken=1
  fi
done < <(printf '%s\n' "${chosen[@]}" | cut -f2,3 | sort -u)
[ $broken = 0 ] || exit 2

# --- one fault at a time ---
caught=0 survived=0 invalid=0
for entry in "${chosen[@]}"; do
  IFS=$'\t' read -r name binary filter file script <<<"$entry"
  start=$SECONDS
  sed -e "$script" "$REPO/$file" >"$TREE/$file.mutant"
  changed=$(diff "$REPO/$file" "$TREE/$file.mutant" | grep -c '^<' || true)
  if [ "$changed" != 1 ]; then
    rm -f "$TREE/$file.mutant"
    echo "NOT PLANTED  $name: the sed script changes $changed lines of $file, not one"
    invalid=$((invalid + 1)); continue
  fi
  planted=$file
  mv "$TREE/$file.mutant" "$TREE/$file"
  # shellcheck disable=SC2046
  if ! build $(target_of "$binary"); then
    restore
    echo "NOT BUILT    $name: the fault does not compile (fix the entry)"
    invalid=$((invalid + 1)); continue
  fi
  if run_tests "$binary" "$filter"; then
    echo "SURVIVED     $name  ($binary $filter, $((SECONDS - start)) s)"
    survived=$((survived + 1))
  else
    echo "caught       $name  ($binary $filter, $((SECONDS - start)) s)"
    caught=$((caught + 1))
  fi
  restore
done
echo "mutants: $caught caught, $survived survived, $invalid not planted or not built, of ${#chosen[@]}"
[ $survived = 0 ] && [ $invalid = 0 ]
exit
}
