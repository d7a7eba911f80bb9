#!/usr/bin/env bash
# Sets up and builds the project, then runs every test.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PROGRAM_BUILD_DIR:-$root/build}"
"$root/tools/setup.sh"
ctest --test-dir "$build" --output-on-failure --timeout 600 -j "$(nproc)"
