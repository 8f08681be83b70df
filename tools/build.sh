#!/usr/bin/env bash
# Configures and builds the project into build/ (or the folder given by
# RUVA_BUILD_DIR); extra arguments go to cmake's configure step.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${RUVA_BUILD_DIR:-$root/build}"
"$root/tools/deps.sh"
# ccache keys on paths relative to the checkout, so that clones and worktrees
# share one cache.
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >&2
fi
jobs="$(nproc 2>/dev/null || echo 2)"
if [ -n "${RUVA_BUILD_TARGET:-}" ]; then
  cmake --build "$build" -j "$jobs" --target "$RUVA_BUILD_TARGET" >&2
else
  cmake --build "$build" -j "$jobs" >&2
fi
