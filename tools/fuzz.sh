#!/usr/bin/env bash
# Runs one fuzz target of fuzz/ over its corpus for a while:
#   tools/fuzz.sh TARGET SECONDS [libFuzzer options...]
# e.g. tools/fuzz.sh program 1800. Builds the clang sanitizer build in
# build-asan/ first when needed. New inputs go to a scratch corpus,
# build-asan/fuzz/TARGET/corpus (or RUVA_FUZZ_SCRATCH), never into the
# repository; crashing inputs to build-asan/fuzz/TARGET/. Exits non-zero
# when the target found a fault.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ $# -lt 2 ]; then
  echo "usage: tools/fuzz.sh TARGET SECONDS [libFuzzer options...]" >&2
  echo "targets: $(cd "$root/fuzz" && ls ./*.cpp | sed 's|./||; s|\.cpp$||' | tr '\n' ' ')" >&2
  exit 2
fi
target="$1" seconds="$2"
shift 2
build="$root/build-asan"
RUVA_BUILD_TARGET="fuzz_$target" "$root/tools/sanitizer_build.sh"
out="$build/fuzz/$target"
scratch="${RUVA_FUZZ_SCRATCH:-$out/corpus}"
mkdir -p "$out" "$scratch"
options=(-max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 -print_final_stats=1
         -artifact_prefix="$out/")
# A run reaches tens of thousands of coverage features; counting how often
# each one was seen costs more than the run itself unless only the rarer
# ones are counted.
options+=(-entropic_feature_frequency_threshold=32)
# Long enough for statements nested past the parser's nesting limit (a
# later -max_len among the options overrides it).
options+=(-max_len=16384)
# The compile target reads the same programs as the program target.
dict="$root/fuzz/$target.dict"
[ "$target" = compile ] && dict="$root/fuzz/program.dict"
[ -f "$dict" ] && options+=(-dict="$dict")
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
exec "$build/fuzz_$target" "${options[@]}" "$@" "$scratch" "$root/fuzz/corpus/$target"
