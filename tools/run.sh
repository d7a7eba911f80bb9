#!/usr/bin/env bash
# Sets up and builds the project, then runs the program. Arguments go to
# program-cli; without any, it shows its help.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/tools/setup.sh" >&2
if (($# == 0)); then
  set -- --help
fi
exec "${PROGRAM_BUILD_DIR:-$root/build}/cli/program-cli" "$@"
