#!/usr/bin/env bash
# Builds everything and runs every test.
#   ./test.sh              the normal build in build/
#   ./test.sh --sanitize   a clang build with AddressSanitizer + UBSan and the
#                          fuzz targets in build-asan/
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
if [ "${1:-}" = "--sanitize" ]; then
  export RUVA_BUILD_DIR="$root/build-asan"
  "$root/tools/sanitizer_build.sh"
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  export RUVA_BUILD_DIR="$root/build"
  "$root/tools/build.sh"
fi
cd "$RUVA_BUILD_DIR"
ctest --output-on-failure -j "$(nproc 2>/dev/null || echo 2)" --timeout 600
