#!/usr/bin/env bash
# Runs the large refit cases of ruva and of R in turn on the same data,
# ROUNDS times (default 3), so that both see the same machine load.
#   bench/r/side_by_side.sh [ROUNDS]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${RUVA_BUILD_DIR:-$root/build}"
rounds="${1:-3}"
data="$(mktemp -d)"
trap 'rm -rf "$data"' EXIT
for ((r = 1; r <= rounds; r++)); do
  echo "== round $r: ruva"
  RUVA_REFIT_DATA="$data" "$build/bench_refit_large_cases" --benchmark_filter=BM_LargeRefits
  echo "== round $r: R"
  if command -v Rscript >/dev/null; then
    Rscript "$root/bench/r/refit_comparison.R" "$data" 1
  else
    echo "Rscript not found: R's side is not measured"
  fi
done
