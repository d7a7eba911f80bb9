#!/usr/bin/env bash
# Sets up and builds the project, then runs the program: without arguments
# the desktop dialog, with arguments program-cli with those arguments.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PROGRAM_BUILD_DIR:-$root/build}"
"$root/tools/setup.sh" >&2
if (($# == 0)); then
  exec "$build/app/qt/program"
fi
exec "$build/cli/program-cli" "$@"
