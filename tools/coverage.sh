#!/usr/bin/env bash
# How much of src/ the tests run: a build with gcc's coverage
# instrumentation in build-coverage/ (or RUVA_COVERAGE_DIR), every test run
# in it, and a report of the lines and functions of src/ that ran, per
# folder and per file, with the functions no test runs, largest first.
#   tools/coverage.sh            build, run the tests, report
#   tools/coverage.sh --report   report on the counts of the last run only
# The report is printed and kept in build-coverage/coverage/ (summary.txt,
# files.txt, unrun.txt, and html/index.html with every file's lines).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${RUVA_COVERAGE_DIR:-$root/build-coverage}"
report="$build/coverage"

"$root/tools/deps.sh"
if ! command -v gcovr >/dev/null; then
  install="DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends gcovr"
  if [ "$(id -u)" -eq 0 ]; then
    apt-get update >&2
    sh -c "$install" >&2
  else
    echo "Missing package: gcovr" >&2
    echo "Run as root: apt-get update && $install" >&2
    exit 1
  fi
fi

# Two runs in one build folder would delete and rebuild each other's counts.
mkdir -p "$build"
exec 9>"$build/coverage.lock"
if ! flock -n 9; then
  echo "Another coverage run is using $build; wait for it to end." >&2
  exit 1
fi

# A process that cannot write its counts in full (a full disk, a limit on
# the size of its files) leaves a count file cut short, which every later
# process then fails to merge into: libgcov says so on standard error, and
# the figures come out low. Its messages go to this file instead of the
# tests' own output, where a test that compares a run's log would fail on
# them.
gcov_errors="$build/libgcov-errors.txt"

if [ "${1:-}" != "--report" ]; then
  # ccache may serve the objects: it keys a coverage object on the path of
  # its count file, so no other folder's object is ever served here.
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  if [ ! -f "$build/CMakeCache.txt" ]; then
    # Unoptimised, so that every line and function counts where it is
    # written; atomic counters, so that the worker threads' counts add up.
    flags="--coverage -fprofile-update=atomic"
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DRUVA_BENCH=OFF \
      -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
      -DCMAKE_EXE_LINKER_FLAGS=--coverage "${launcher[@]}" >&2
  fi
  # Counts of an earlier run would add to this one's; and the test programs
  # list their tests as they are built, which would merge into counts of
  # objects compiled since, with a warning each.
  find "$build" -name '*.gcda' -delete
  cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" >&2
  find "$build" -name '*.gcda' -delete
  rm -f "$gcov_errors"
  (cd "$build" && GCOV_ERROR_FILE="$gcov_errors" ctest -j "$(nproc 2>/dev/null || echo 2)" --timeout 1800 \
     --output-on-failure 9>&-) || echo "Some tests failed; the report counts what ran." >&2
fi

if [ -s "$gcov_errors" ]; then
  echo "The counts are not whole: $(wc -l <"$gcov_errors") errors from libgcov ($gcov_errors), first:" >&2
  sed 3q "$gcov_errors" >&2
  echo "A process could not write its counts in full: a full disk ($(df -h "$build" | awk 'NR == 2 {print $4}')" \
       "free now), or a test that limits the size of the files its child processes write." >&2
  if [ "${1:-}" != "--report" ]; then
    echo "No report: its figures would be too low. tools/coverage.sh --report reports these counts anyway." >&2
    exit 1
  fi
fi

rm -rf "$report"
mkdir -p "$report/html"
# CMake's compiler checks leave coverage notes of their own: not searched.
gcovr_args=(--root "$root" --object-directory "$build" --filter "$root/src/"
            --exclude-directories "$build/CMakeFiles/[0-9.]+" --gcov-ignore-parse-errors --print-summary)
gcovr "${gcovr_args[@]}" --json "$report/coverage.json" --txt "$report/files.txt" \
  --html-details "$report/html/index.html" >"$report/total.txt"
python3 "$root/tools/coverage_summary.py" "$report/coverage.json" "$report"
cat "$report/summary.txt"
echo "gcovr's own count, in which each instance of a template or inline function is a function:"
cat "$report/total.txt"
echo "Per file: $report/files.txt; functions not run: $report/unrun.txt; lines: $report/html/index.html"
