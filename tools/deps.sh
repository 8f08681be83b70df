#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# As root it runs apt-get; otherwise it prints the exact command to run.
# The browser that the report's test loads the HTML report in is wanted,
# not required: without root and without it, that test is skipped.
set -euo pipefail
# fonts-dejavu-core is the font the graphs and the report name, for the
# browser test to show them in and tools/gen_font_metrics.py to read; the
# program itself carries the metrics it needs. strace sends a signal at a
# chosen system call, for the tests of a run stopped at a given point.
packages=(cmake make g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libblas-dev liblapack-dev nlohmann-json3-dev libboost-dev python3
          librandom123-dev libpcg-cpp-dev ccache clang libclang-rt-14-dev
          fonts-dejavu-core python3-pandas libexpat1-dev strace)
optional=(chromium chromium-driver librsvg2-bin)
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing=() missing_optional=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
for p in "${optional[@]}"; do installed "$p" || missing_optional+=("$p"); done
[ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ] && exit 0
install="DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends"
if [ "$(id -u)" -eq 0 ]; then
  apt-get update >&2
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    sh -c "$install ${missing[*]}" >&2
  fi
  if [ ${#missing_optional[@]} -gt 0 ]; then
    echo "Installing: ${missing_optional[*]}" >&2
    # A browser that cannot be had only skips the report's browser test.
    sh -c "$install ${missing_optional[*]}" >&2 ||
      echo "The browser could not be installed: the HTML report's browser test will be skipped." >&2
  fi
elif [ ${#missing[@]} -gt 0 ]; then
  echo "Missing packages: ${missing[*]} ${missing_optional[*]}" >&2
  echo "Run as root: apt-get update && $install ${missing[*]} ${missing_optional[*]}" >&2
  exit 1
else
  echo "Missing browser packages: ${missing_optional[*]}; the HTML report's browser test will be skipped." >&2
  echo "Run as root: apt-get update && $install ${missing_optional[*]}" >&2
fi
