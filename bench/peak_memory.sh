#!/usr/bin/env bash
# Peak memory of program-cli, by /usr/bin/time -v: the maximum resident set
# of encrypting and then decrypting a small file and a large one. A job
# streams its file, so the large job must stay within a few MiB of the
# small one; the script fails otherwise.
#
#   bench/peak_memory.sh [SMALL_MIB [LARGE_MIB]]     (defaults: 1 and 1024)
#
# Needs SMALL+LARGE MiB of free disk twice over in $TMPDIR (the input is
# sparse; the container and the decrypted file are not).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PROGRAM_BUILD_DIR:-$root/build}"
small="${1:-1}"
large="${2:-1024}"
allowed_kib=$((4 * 1024))
cli="$build/cli/program-cli"
[[ -x $cli ]] || "$root/tools/setup.sh"

work="$(mktemp -d "${TMPDIR:-/tmp}/program-memory.XXXXXX")"
trap 'rm -rf "$work"' EXIT
need_kib=$(((small + large) * 1024 * 2 + 65536))
free_kib=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
if ((free_kib < need_kib)); then
  echo "SKIP: $((need_kib / 1024)) MiB of free disk needed in $work," \
    "$((free_kib / 1024)) MiB free"
  exit 0
fi
echo secret >"$work/password"

# Prints the maximum resident set in KiB of one program-cli run.
peak_kib() {
  /usr/bin/time -v "$cli" --password-file "$work/password" "$1" "$2" \
    2>"$work/time.txt" >/dev/null
  awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt"
}

declare -A peak
for mib in "$small" "$large"; do
  truncate -s "${mib}M" "$work/plain$mib.bin"
  encrypt=$(peak_kib "$work/plain$mib.bin" "$work/c$mib")
  decrypt=$(peak_kib "$work/c$mib.crypt" "$work/back$mib")
  cmp -s <(head -c "${mib}M" /dev/zero) "$work/back$mib.bin" || {
    echo "FAIL: the ${mib} MiB file did not come back" >&2
    exit 1
  }
  rm -f "$work/c$mib.crypt" "$work/back$mib.bin"
  peak[$mib]=$((encrypt > decrypt ? encrypt : decrypt))
  printf '%6s MiB job: peak %6s KiB encrypting, %6s KiB decrypting\n' \
    "$mib" "$encrypt" "$decrypt"
done

growth=$((peak[$large] - peak[$small]))
echo "growth from $small MiB to $large MiB: $growth KiB (allowed $allowed_kib)"
((growth <= allowed_kib)) || {
  echo "FAIL: peak memory grows with the file" >&2
  exit 1
}
