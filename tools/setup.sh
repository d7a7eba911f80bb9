#!/usr/bin/env bash
# Installs whatever the build needs that is missing (Debian or Ubuntu), then
# configures and builds the project in build/. Extra arguments go to cmake.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PROGRAM_BUILD_DIR:-$root/build}"

packages=(g++ cmake ninja-build libgtest-dev libgmock-dev python3)
# The desktop dialog: Qt Widgets, and a font with Cyrillic letters.
packages+=(qt6-base-dev fonts-dejavu-core)
# The benchmarks: Google Benchmark, and GNU time for peak memory.
packages+=(libbenchmark-dev time)
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null |
      grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}"
  sudo=()
  if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S "$root" -B "$build" -G Ninja "$@"
cmake --build "$build"
