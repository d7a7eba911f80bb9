#!/usr/bin/env bash
# Makes doc/screenshot.png: builds the program, runs it on a virtual X
# display (Xvfb) and has it save a picture of its dialog once it shows.
# Usage: tools/screenshot.sh [OUTPUT.png]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PROGRAM_BUILD_DIR:-$root/build}"
output="$(realpath -m "${1:-$root/doc/screenshot.png}")"

"$root/tools/install-missing.sh" xvfb xauth >&2
"$root/tools/setup.sh" >&2
mkdir -p "$(dirname "$output")"
rm -f "$output"
PROGRAM_SCREENSHOT="$output" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 \
  xvfb-run --auto-servernum --server-args="-screen 0 800x600x24 -dpi 96" \
  "$build/app/qt/program"
test -s "$output"
echo "$output"
