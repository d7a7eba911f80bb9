#!/usr/bin/env bash
# Installs whatever the build needs that is missing (Debian or Ubuntu), then
# configures and builds the project in build/. Extra arguments go to cmake.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PROGRAM_BUILD_DIR:-$root/build}"

packages=(g++ cmake ninja-build libgtest-dev libgmock-dev python3)
# The desktop dialog: Qt Widgets, its Bulgarian texts, and a font with
# Cyrillic letters.
packages+=(qt6-base-dev fonts-dejavu-core qt6-translations-l10n)
# The benchmarks: Google Benchmark, and GNU time for peak memory.
packages+=(libbenchmark-dev time)
"$root/tools/install-missing.sh" "${packages[@]}"

cmake -S "$root" -B "$build" -G Ninja "$@"
cmake --build "$build"
