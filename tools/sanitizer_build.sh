#!/usr/bin/env bash
# Builds the clang build with AddressSanitizer, UndefinedBehaviorSanitizer
# and the fuzz targets into build-asan/ (RUVA_BUILD_TARGET as for build.sh).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export RUVA_BUILD_DIR="$root/build-asan"
# A folder configured otherwise (another compiler, no fuzz targets) is made anew.
if [ -f "$RUVA_BUILD_DIR/CMakeCache.txt" ] && ! grep -q '^RUVA_FUZZ:BOOL=ON' "$RUVA_BUILD_DIR/CMakeCache.txt"; then
  rm -rf "$RUVA_BUILD_DIR"
fi
CC=clang CXX=clang++ "$root/tools/build.sh" -DRUVA_SANITIZE=ON -DRUVA_FUZZ=ON -DRUVA_BENCH=OFF
