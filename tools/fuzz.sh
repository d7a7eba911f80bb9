#!/usr/bin/env bash
# Builds the libFuzzer targets into build-fuzz/ (clang, ASan+UBSan) and runs
# each for the given number of seconds (default 30), starting from the seed
# corpus in tests/fuzz/corpus. Exits non-zero on any finding; the crashing
# input is left in build-fuzz/findings/.
#
#   tools/fuzz.sh [SECONDS] [TARGET...]     TARGET: container, name
#   FUZZ_RUNS=N tools/fuzz.sh 0 name        N executions instead of a time
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PROGRAM_FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${1:-30}"
shift || true
targets=("$@")
((${#targets[@]} > 0)) || targets=(container name)

"$root/tools/install-missing.sh" clang libclang-rt-14-dev

PROGRAM_BUILD_DIR="$build" CC=clang CXX=clang++ "$root/tools/setup.sh" \
  -DPROGRAM_FUZZ=ON -DPROGRAM_BUILD_TESTS=OFF

# The container target writes real files: keep them in a scratch folder on
# a memory file system when there is one, so that fsync costs little.
scratch_parent=/dev/shm
[[ -d $scratch_parent && -w $scratch_parent ]] || scratch_parent="${TMPDIR:-/tmp}"
scratch="$(mktemp -d "$scratch_parent/program-fuzz-run.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$build/findings"

for target in "${targets[@]}"; do
  case "$target" in
    container) seeds="$root/tests/fuzz/corpus/container"; max_len=8192 ;;
    name) seeds="$root/tests/fuzz/corpus/names"; max_len=2048 ;;
    *) echo "unknown target $target" >&2; exit 2 ;;
  esac
  limit=(-max_total_time="$seconds")
  [[ -z ${FUZZ_RUNS:-} ]] || limit=(-runs="$FUZZ_RUNS")
  # New inputs go to a working corpus in the build folder, never into the
  # committed seeds.
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  echo "== fuzzing $target (${FUZZ_RUNS:-${seconds}s})"
  TMPDIR="$scratch" "$build/tests/fuzz/${target}_fuzzer" "${limit[@]}" \
    -max_len="$max_len" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/findings/$target-" "$corpus" "$seeds" \
    2> >(grep -vE '^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse)|# Uses: ' >&2)
done
