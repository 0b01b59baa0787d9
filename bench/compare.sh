#!/usr/bin/env bash
# Whole-run comparison: Ramp-SlipV against the floor program (bench/floor.cpp).
# Checks that both write the same bytes, then counts instructions with
# callgrind and times repeated runs; prints the figures, the ratios to the
# floor and whether the run is within the target (2.0 times the floor's
# instructions).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-21}
target=2.0

cmake -S . -B build >/dev/null
cmake --build build -j2 --target Ramp-SlipV ramp_floor >/dev/null
prog=$PWD/build/Ramp-SlipV
base=$PWD/build/ramp_floor
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/prog" "$work/base"

(cd "$work/prog" && "$prog" </dev/null >console.txt)
(cd "$work/base" && "$base" </dev/null >console.txt)
for f in console.txt Ramp_Slip.csv Ramp_Amp.csv; do
  cmp "$work/prog/$f" "$work/base/$f" || { echo "outputs differ: $f" >&2; exit 1; }
done
echo "outputs: identical (console, Ramp_Slip.csv, Ramp_Amp.csv)"

instructions() {  # program folder
  (cd "$2" && valgrind --tool=callgrind --callgrind-out-file=/dev/null "$1" </dev/null 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p')
}
median_ms() {  # program folder
  local t=()
  for _ in $(seq "$runs"); do
    local s e
    s=$(date +%s%N)
    (cd "$2" && "$1" </dev/null >/dev/null)
    e=$(date +%s%N)
    t+=($(((e - s) / 1000)))
  done
  printf '%s\n' "${t[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.2f", a[int((NR+1)/2)]/1000}'
}
peak_kb() {
  (cd "$2" && /usr/bin/time -f %M "$1" </dev/null 2>&1 >/dev/null | tail -n 1)
}

pi=$(instructions "$prog" "$work/prog"); bi=$(instructions "$base" "$work/base")
pt=$(median_ms "$prog" "$work/prog"); bt=$(median_ms "$base" "$work/base")
pm=$(peak_kb "$prog" "$work/prog"); bm=$(peak_kb "$base" "$work/base")

printf '%-14s %14s %16s %14s\n' "" instructions "median wall ms" "peak KiB"
printf '%-14s %14s %16s %14s\n' Ramp-SlipV "$pi" "$pt" "$pm"
printf '%-14s %14s %16s %14s\n' floor "$bi" "$bt" "$bm"
awk -v a="$pi" -v b="$bi" -v c="$pt" -v d="$bt" -v e="$pm" -v f="$bm" 'BEGIN {
  printf "%-14s %14.3f %16.3f %14.3f\n", "ratio", a / b, c / d, e / f }'
awk -v a="$pi" -v b="$bi" -v t="$target" 'BEGIN {
  printf "target: at most %.1f times the floor (%.2f M instructions): %s (%.2f M, %.2f times)\n",
    t, t * b / 1e6, (a <= t * b ? "met" : "not met"), a / 1e6, a / b }'
echo "($runs timed runs each; wall times on a shared machine are noisy, the instruction counts are not)"
