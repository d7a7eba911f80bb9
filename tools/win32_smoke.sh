#!/usr/bin/env bash
# Smoke test of program.exe under Wine on a virtual display of its own:
# a driver program finds the dialog and works it by window messages (the
# controls and their texts, an encryption and a decryption with a Cyrillic
# name and password, the final messages, Cancel), then this script checks
# the files: the round trip gives the file back, and the container is the
# one program-cli makes of the same file and password.
#
#   tools/win32_smoke.sh [BUILD_DIR]     (default build-windows/)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-${PROGRAM_WINDOWS_BUILD_DIR:-$root/build-windows}}"
"$root/tools/install-missing.sh" xvfb openbox

work="$(mktemp -d)"
xvfb_pid="" wm_pid=""
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  # Only what this script started: its display, its window manager, and
  # the Wine server of the build's own prefix.
  wineserver -k 2>/dev/null || true
  [[ -n "$wm_pid" ]] && kill "$wm_pid" 2>/dev/null
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A display number that no other X server holds.
display=90
while [[ -e "/tmp/.X11-unix/X$display" || -e "/tmp/.X$display-lock" ]]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 50); do
  [[ -e "/tmp/.X11-unix/X$display" ]] && break
  sleep 0.1
done
openbox >/dev/null 2>&1 &
wm_pid=$!
# Wine programs of this prefix started earlier (the tests) may have left a
# server without a display; the program must start under one that has it.
wineserver -k 2>/dev/null || true
[[ -f "$WINEPREFIX/system.reg" ]] || wineboot --init

head -c 100000 /dev/urandom >"$work/отчет.docx"
folder="$(winepath -w "$work")"
timeout 120 wine "$build/tests/win32_smoke_driver.exe" \
  "$(winepath -w "$build/app/win32/program.exe")" "$folder"

cmp "$work/отчет.docx" "$work/върнат.docx"
printf 'Тайна€1ф\n' >"$work/password"
cli="$build/cli/program-cli.exe"
if [[ -f "$cli" ]]; then
  wine "$cli" --password-file "$(winepath -w "$work/password")" \
    "$folder\\отчет.docx" "$folder\\от-командния-ред" >/dev/null
  cmp "$work/шифър.crypt" "$work/от-командния-ред.crypt"
else
  echo "win32_smoke.sh: no program-cli.exe; container not compared"
fi
echo "win32_smoke.sh: program.exe passed"
