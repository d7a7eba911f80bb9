#!/usr/bin/env bash
# Builds the Windows programs with mingw-w64 into build-windows/ and runs
# their tests under Wine; installs whatever of that is missing (Debian or
# Ubuntu). Extra arguments go to cmake's configure step.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PROGRAM_WINDOWS_BUILD_DIR:-$root/build-windows}"

seconds() { date +%s; }
started=$(seconds)

# Only 64-bit programs are built: wine64 runs them, wine32 is not needed.
"$root/tools/install-missing.sh" cmake ninja-build \
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 \
  wine wine64 googletest
installed=$(seconds)

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" "$@"

# The toolchain gives Wine a prefix of the build's own; it is made once,
# before the build (test discovery starts the test programs) and before
# ctest starts programs in parallel.
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  wineboot --init
fi
# One Wine server for the whole run, not one per test program.
wineserver --persistent=60

cmake --build "$build"
built=$(seconds)

ctest --test-dir "$build" --output-on-failure --timeout 900 -j "$(nproc)"
tested=$(seconds)
# The server belongs to this build's own prefix.
wineserver --kill

echo "windows.sh: install $((installed - started)) s," \
     "build $((built - installed)) s, tests $((tested - built)) s"
