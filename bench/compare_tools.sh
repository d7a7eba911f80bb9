#!/usr/bin/env bash
# Times program-cli on a large file against openssl and cp, in one run and
# alternating, in memory (a tmpfs folder) and on disk, and prints the
# medians with each one's time over openssl's (below 1: faster). Checks that the decrypted
# file equals the original.
#
#   bench/compare_tools.sh [--size MiB] [--runs N] [--memory FOLDER]
#                          [--disk FOLDER] [PROGRAM-CLI]
#
# Defaults: 1024 MiB, 5 runs, /dev/shm for memory and ${TMPDIR:-/var/tmp}
# for disk (a new folder in each, removed at the end; --memory '' or
# --disk '' leaves that place out), and build/cli/program-cli. Needs about
# five times the size free in each place.
#
# program-cli syncs its output to disk before it renames it into place. On
# disk every other tool's output is synced as well (`sync FILE`, timed with
# the tool), so that all of them pay for the write-back; in memory the sync
# costs nothing and the table compares computation and copies alone.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
size_mib=1024
runs=5
memory_base=/dev/shm
disk_base="${TMPDIR:-/var/tmp}"
cli="$root/build/cli/program-cli"
while (($# > 0)); do
  case "$1" in
    --size) size_mib="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --memory) memory_base="$2"; shift 2 ;;
    --disk) disk_base="$2"; shift 2 ;;
    -h | --help) sed -n '2,18p' "$0"; exit 0 ;;
    *) cli="$1"; shift ;;
  esac
done

missing=()
[[ -x "$cli" ]] || missing+=("program-cli (build it: ./tools/setup.sh)")
for tool in openssl cp cmp sync sort awk head stat; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]} > 0)); then
  echo "missing: ${missing[*]}" >&2
  exit 1
fi

places=()
declare -A folder=()
for place in memory disk; do
  base="${place}_base"
  base="${!base}"
  [[ -n "$base" ]] || continue
  if [[ ! -d "$base" ]]; then
    echo "no folder $base: $place left out" >&2
    continue
  fi
  kind="$(stat -f -c %T "$base")"
  if [[ $place == memory && $kind != tmpfs ]]; then
    echo "warning: $base is $kind, not tmpfs" >&2
  elif [[ $place == disk && $kind == tmpfs ]]; then
    echo "warning: $base is tmpfs, not a disk" >&2
  fi
  folder[$place]="$(mktemp -d "$base/program-bench-XXXXXX")"
  places+=("$place")
done
trap 'for f in "${folder[@]}"; do rm -rf "$f"; done' EXIT
((${#places[@]} > 0)) || { echo "nowhere to measure" >&2; exit 1; }

order=(encrypt decrypt openssl cp)
declare -A label=(
  [encrypt]="program-cli (encrypt)"
  [decrypt]="program-cli (decrypt)"
  [openssl]="openssl enc -aes-256-ctr"
  [cp]="cp"
)
declare -A times=()

for place in "${places[@]}"; do
  work="${folder[$place]}"
  echo "creating $size_mib MiB of random data in $work ($place)"
  head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/plain.bin"
  printf 'x\n' >"$work/password"
done

# The command for a tool in a place; on disk the peers sync their output.
command_for() {
  local name="$1" place="$2" work="${folder[$2]}" sync=""
  [[ $place == disk ]] && sync=" && sync"
  case "$name" in
    encrypt) echo "\"$cli\" --password-file \"$work/password\" \"$work/plain.bin\" \"$work/out\"" ;;
    decrypt) echo "\"$cli\" --password-file \"$work/password\" \"$work/out.crypt\" \"$work/back\"" ;;
    openssl) echo "openssl enc -aes-256-ctr -pbkdf2 -pass pass:x -in \"$work/plain.bin\" -out \"$work/openssl.bin\"$sync${sync:+ \"$work/openssl.bin\"}" ;;
    cp) echo "cp \"$work/plain.bin\" \"$work/copy.bin\"$sync${sync:+ \"$work/copy.bin\"}" ;;
  esac
}

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
for ((run = 1; run <= runs; run++)); do
  for place in "${places[@]}"; do
    line="run $run, $place:"
    for name in "${order[@]}"; do
      start=$EPOCHREALTIME
      eval "$(command_for "$name" "$place")" >/dev/null 2>"${folder[$place]}/stderr" || {
        echo "$name failed in $place:" >&2
        cat "${folder[$place]}/stderr" >&2
        exit 1
      }
      end=$EPOCHREALTIME
      seconds="$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')"
      times[$place.$name]+="$seconds "
      line+=" $name $seconds"
    done
    echo "$line"
    if ! cmp -s "${folder[$place]}/plain.bin" "${folder[$place]}/back.bin"; then
      echo "round trip FAILED in $place: back.bin differs from plain.bin" >&2
      exit 1
    fi
  done
done

median() {
  tr ' ' '\n' <<<"$1" | grep . | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo
echo "$size_mib MiB, median of $runs runs each, $(nproc) cores," \
  "load $load_before before the runs"
header="| command                      |"
rule="|------------------------------|"
for place in "${places[@]}"; do
  header+=" $(printf '%-21s' "$place: s (MiB/s)") | $(printf '%-11s' "/ openssl") |"
  rule+="-----------------------|-------------|"
done
echo "$header"
echo "$rule"
for name in "${order[@]}"; do
  row="| $(printf '%-28s' "${label[$name]}") |"
  for place in "${places[@]}"; do
    m="$(median "${times[$place.$name]}")"
    o="$(median "${times[$place.openssl]}")"
    row+="$(awk -v m="$m" -v s="$size_mib" -v o="$o" \
      'BEGIN { printf " %21s | %10.2fx |", sprintf("%.2f (%.0f)", m, s / m), m / o }')"
  done
  echo "$row"
done
echo
echo "round trip: ok"
