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

export PROGRAM_LONG_CHECKS=1
export PROGRAM_KILL_ROUNDS="${PROGRAM_KILL_ROUNDS:-200}"
ctest --test-dir "$build" --output-on-failure --timeout 0 \
  -R 'LongChecks|CrashSafety'
"$root/bench/peak_memory.sh" 1 1024
