#!/usr/bin/env bash
# Builds the Windows programs with mingw-w64 into build-windows/ and runs
# their tests under Wine, then the smoke test of program.exe on a virtual
# display; installs whatever of that is missing (Debian or Ubuntu). Extra
# arguments go to cmake's configure step.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PROGRAM_WINDOWS_BUILD_DIR:-$root/build-windows}"

started=$SECONDS
# Only 64-bit programs are built: wine64 runs them, wine32 is not needed.
"$root/tools/install-missing.sh" cmake ninja-build \
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 \
  wine wine64 googletest
installed=$SECONDS

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" "$@"
cmake --build "$build"
built=$SECONDS

# The same Wine set-up as the toolchain file's emulator. The prefix is made
# once, before ctest starts test programs in parallel.
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  wineboot --init
fi
status=0
ctest --test-dir "$build" --output-on-failure --timeout 900 -j "$(nproc)" ||
  status=$?
tested=$SECONDS
# program.exe, worked by window messages on a virtual display of its own.
"$root/tools/win32_smoke.sh" "$build" || status=$?

echo "windows.sh: install $((installed - started)) s," \
     "build $((built - installed)) s, tests $((tested - built)) s," \
     "program.exe smoke test $((SECONDS - tested)) s"
exit "$status"
