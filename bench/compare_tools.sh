#!/usr/bin/env bash
# Times program-cli on a large file against cp, openssl and gpg, in one run
# and alternating, and prints the medians with ratios. Checks that the
# decrypted file equals the original.
#
#   bench/compare_tools.sh [--size MiB] [--runs N] [--dir FOLDER] [PROGRAM-CLI]
#
# Defaults: 1024 MiB, 5 runs, a new folder under ${TMPDIR:-/tmp}, and
# build/cli/program-cli. Needs about six times the size in free space.
# program-cli syncs its output to disk before it renames it into place;
# the other tools do not. On a tmpfs folder (--dir /dev/shm/x) that costs
# nothing and the table compares computation alone.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
size_mib=1024
runs=5
work=""
cli="$root/build/cli/program-cli"
while (($# > 0)); do
  case "$1" in
    --size) size_mib="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --dir) work="$2"; shift 2 ;;
    -h | --help) sed -n '2,14p' "$0"; exit 0 ;;
    *) cli="$1"; shift ;;
  esac
done

missing=()
[[ -x "$cli" ]] || missing+=("program-cli (build it: ./tools/setup.sh)")
for tool in openssl gpg cp cmp sort awk head; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]} > 0)); then
  echo "missing: ${missing[*]}" >&2
  exit 1
fi

remove_work=false
if [[ -z "$work" ]]; then
  work="$(mktemp -d "${TMPDIR:-/tmp}/program-bench-XXXXXX")"
  remove_work=true
fi
export GNUPGHOME="$work/gnupg"
# The gpg agent started for this folder ends with the script.
trap 'gpgconf --kill gpg-agent 2>/dev/null || true
      if $remove_work; then rm -rf "$work"; fi' EXIT
mkdir -p "$GNUPGHOME"
chmod 700 "$GNUPGHOME"
printf 'x\n' >"$work/password"

echo "creating $size_mib MiB of random data in $work"
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/plain.bin"

declare -A command=(
  [encrypt]="\"$cli\" --password-file \"$work/password\" \"$work/plain.bin\" \"$work/out\""
  [decrypt]="\"$cli\" --password-file \"$work/password\" \"$work/out.crypt\" \"$work/back\""
  [cp]="cp \"$work/plain.bin\" \"$work/copy.bin\""
  [openssl]="openssl enc -aes-256-ctr -pbkdf2 -pass pass:x -in \"$work/plain.bin\" -out \"$work/openssl.bin\""
  [gpg]="gpg --batch --yes --quiet --pinentry-mode loopback --passphrase x --symmetric --compress-algo none -o \"$work/gpg.bin\" \"$work/plain.bin\""
)
order=(encrypt decrypt cp openssl gpg)
declare -A times=()

for ((run = 1; run <= runs; run++)); do
  for name in "${order[@]}"; do
    start=$EPOCHREALTIME
    eval "${command[$name]}" >/dev/null 2>"$work/stderr" || {
      echo "$name failed:" >&2
      cat "$work/stderr" >&2
      exit 1
    }
    end=$EPOCHREALTIME
    times[$name]+="$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }') "
  done
  line="run $run:"
  for name in "${order[@]}"; do
    last="${times[$name]% }"
    line+=" $name ${last##* }"
  done
  echo "$line"
  if [[ $run == 1 ]] && ! cmp -s "$work/plain.bin" "$work/back.bin"; then
    echo "round trip FAILED: back.bin differs from plain.bin" >&2
    exit 1
  fi
done
cmp -s "$work/plain.bin" "$work/back.bin" && round_trip="ok" || round_trip="FAILED"

median() {
  tr ' ' '\n' <<<"$1" | grep . | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

openssl_median="$(median "${times[openssl]}")"
echo
echo "$size_mib MiB, median of $runs runs each, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '| %-28s | %9s | %9s | %11s |\n' "command" "seconds" "MiB/s" "vs openssl"
printf '|%s|%s|%s|%s|\n' "------------------------------" "-----------" "-----------" "-------------"
for name in "${order[@]}"; do
  m="$(median "${times[$name]}")"
  label="$name"
  case "$name" in
    encrypt) label="program-cli (encrypt)" ;;
    decrypt) label="program-cli (decrypt)" ;;
    openssl) label="openssl enc -aes-256-ctr" ;;
    gpg) label="gpg --symmetric" ;;
  esac
  awk -v l="$label" -v m="$m" -v s="$size_mib" -v o="$openssl_median" \
    'BEGIN { printf "| %-28s | %9.2f | %9.0f | %10.2fx |\n", l, m, s / m, o / m }'
done
echo
echo "round trip: $round_trip"
[[ $round_trip == ok ]]
