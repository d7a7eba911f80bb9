#!/usr/bin/env bash
# The long checks, too slow for every run of the test suite: a plain file of
# 2,147,483,647 bytes encrypted and decrypted in full (needs about 4.1 GiB
# free, skipped otherwise), program-cli killed at many random moments, and
# peak memory of a 1 GiB job against a 1 MiB one.
#
#   tools/long-checks.sh                 PROGRAM_KILL_ROUNDS=N for N kills
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PROGRAM_BUILD_DIR:-$root/build}"
"$root/tools/setup.sh"

export PROGRAM_KILL_ROUNDS="${PROGRAM_KILL_ROUNDS:-200}"
ctest --test-dir "$build" --output-on-failure --timeout 0 -R CrashSafety

# The largest plain file, zeros, through program-cli both ways. Its start
# must be what a 4 KiB file of zeros encrypts to, apart from the size field.
largest=2147483647
scratch="$(mktemp -d "${TMPDIR:-/tmp}/program-long.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
needed_kib=$((2 * largest / 1024 + 65536))
if (($(df -Pk "$scratch" | awk 'NR == 2 { print $4 }') < needed_kib)); then
  echo "SKIP the largest file: needs $((needed_kib / 1024)) MiB free in $scratch"
else
  cli() { "$build/cli/program-cli" --password-fd=0 "$@" <<<"long check"; }
  fail() { echo "the largest file: $1" >&2; exit 1; }
  truncate -s "$largest" "$scratch/big.bin"
  truncate -s 4096 "$scratch/small.bin"
  cli "$scratch/big.bin" "$scratch/big"
  cli "$scratch/small.bin" "$scratch/small"
  header=35 # 4 + 2 x 10 password bytes + 4 + "bin" + 4
  [[ $(stat -c %s "$scratch/big.crypt") == $((header + largest)) ]] ||
    fail "container size"
  cmp -n $((header - 4)) "$scratch/big.crypt" "$scratch/small.crypt" ||
    fail "header"
  [[ $(od -An -tx1 -j $((header - 4)) -N 4 "$scratch/big.crypt") == \
    " ff ff ff 7f" ]] || fail "size field"
  cmp -n 4096 -i "$header:$header" "$scratch/big.crypt" "$scratch/small.crypt" ||
    fail "start of the body"
  cli "$scratch/big.crypt" "$scratch/back"
  [[ $(stat -c %s "$scratch/back.bin") == "$largest" ]] || fail "plain size"
  cmp -n "$largest" "$scratch/back.bin" /dev/zero || fail "plain bytes"
  echo "the largest file: both ways ok"
fi
"$root/bench/peak_memory.sh" 1 1024
