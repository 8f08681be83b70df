#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# As root it runs apt-get; otherwise it prints the exact command to run.
set -euo pipefail
packages=(cmake make g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libblas-dev liblapack-dev nlohmann-json3-dev libboost-dev python3
          librandom123-dev libpcg-cpp-dev ccache clang libclang-rt-14-dev python3-pandas)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
cmd="apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  sh -c "$cmd" >&2
else
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run as root: $cmd" >&2
  exit 1
fi
