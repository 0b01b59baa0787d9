#!/usr/bin/env bash
# Whole-run comparison: Ramp-SlipV against the floor program (bench/floor.cpp),
# both linked with the shared C library, and against itself linked fully
# statically (ramp_static). Checks that all three write the same bytes, then
# counts instructions with callgrind and times repeated runs; prints the
# figures, the ratios to the floor, whether the run is within the target (1.5
# times the floor's instructions), and what the shared C library costs at
# start-up. With an argument, 16777216, the run of that many samples instead:
# the bytes checked, then the median wall time of RUNS runs (3) of each, taken
# in turn, and their ratio; no instruction counts (too long under callgrind).
set -euo pipefail
cd "$(dirname "$0")/.."
samples=${1:-}
[ -z "$samples" ] || [ "$samples" = 16777216 ] || { echo "usage: $0 [16777216]" >&2; exit 2; }
runs=${RUNS:-$([ -n "$samples" ] && echo 3 || echo 21)}
target=1.5

cmake -S . -B build >/dev/null
cmake --build build -j2 --target Ramp-SlipV ramp_floor ramp_static >/dev/null
prog=$PWD/build/Ramp-SlipV
base=$PWD/build/ramp_floor
stat=$PWD/build/ramp_static
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/prog" "$work/base" "$work/stat"

if [ -n "$samples" ]; then
  (cd "$work/prog" && "$prog" -n "$samples" </dev/null >console.txt)
  (cd "$work/base" && "$base" "$samples" </dev/null >console.txt)
  for f in console.txt Ramp_Slip.csv Ramp_Amp.csv; do
    cmp "$work/prog/$f" "$work/base/$f" || { echo "outputs differ: $f" >&2; exit 1; }
  done
  echo "outputs of $samples samples: identical (console, Ramp_Slip.csv, Ramp_Amp.csv)"
  load=$(cut -d' ' -f1-3 /proc/loadavg)
  t=()
  for _ in $(seq "$runs"); do
    for who in prog base; do
      s=$(date +%s%N)
      if [ $who = prog ]; then (cd "$work/prog" && "$prog" -n "$samples" </dev/null >/dev/null)
      else (cd "$work/base" && "$base" "$samples" </dev/null >/dev/null); fi
      t+=("$who $((($(date +%s%N) - s) / 1000000))")
    done
  done
  median() { printf '%s\n' "${t[@]}" | awk -v w="$1" '$1 == w {print $2}' | sort -n |
    awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
  pt=$(median prog); bt=$(median base)
  echo "median wall ms of $runs runs each: Ramp-SlipV $pt, floor $bt" \
    "(load average before: $load; after: $(cut -d' ' -f1-3 /proc/loadavg))"
  awk -v a="$pt" -v b="$bt" 'BEGIN { printf "ratio %.3f\n", a / b }'
  exit 0
fi

(cd "$work/prog" && "$prog" </dev/null >console.txt)
(cd "$work/base" && "$base" </dev/null >console.txt)
(cd "$work/stat" && "$stat" </dev/null >console.txt)
for f in console.txt Ramp_Slip.csv Ramp_Amp.csv; do
  for other in base stat; do
    cmp "$work/prog/$f" "$work/$other/$f" || { echo "outputs differ: $other/$f" >&2; exit 1; }
  done
done
echo "outputs: identical (console, Ramp_Slip.csv, Ramp_Amp.csv)"

instructions() {  # program folder [argument]
  (cd "$2" && valgrind --tool=callgrind --callgrind-out-file=/dev/null "$1" "${@:3}" </dev/null 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p')
}
wall_ms() {  # program folder [argument]: the median and the fastest of the timed runs
  local t=()
  for _ in $(seq "$runs"); do
    local s e
    s=$(date +%s%N)
    (cd "$2" && "$1" "${@:3}" </dev/null >/dev/null)
    e=$(date +%s%N)
    t+=($(((e - s) / 1000)))
  done
  printf '%s\n' "${t[@]}" | sort -n |
    awk '{a[NR]=$1} END {printf "%.2f %.2f\n", a[int((NR+1)/2)]/1000, a[1]/1000}'
}
peak_kb() {
  (cd "$2" && /usr/bin/time -f %M "$1" </dev/null 2>&1 >/dev/null | tail -n 1)
}

pi=$(instructions "$prog" "$work/prog"); bi=$(instructions "$base" "$work/base")
si=$(instructions "$stat" "$work/stat")
read -r pt _ < <(wall_ms "$prog" "$work/prog"); read -r bt _ < <(wall_ms "$base" "$work/base")
read -r st _ < <(wall_ms "$stat" "$work/stat")
pm=$(peak_kb "$prog" "$work/prog"); bm=$(peak_kb "$base" "$work/base")
sm=$(peak_kb "$stat" "$work/stat")

printf '%-14s %14s %16s %14s\n' "" instructions "median wall ms" "peak KiB"
printf '%-14s %14s %16s %14s\n' Ramp-SlipV "$pi" "$pt" "$pm"
printf '%-14s %14s %16s %14s\n' floor "$bi" "$bt" "$bm"
printf '%-14s %14s %16s %14s\n' "static" "$si" "$st" "$sm"
awk -v a="$pi" -v b="$bi" -v c="$pt" -v d="$bt" -v e="$pm" -v f="$bm" 'BEGIN {
  printf "%-14s %14.3f %16.3f %14.3f\n", "ratio", a / b, c / d, e / f }'
awk -v a="$pi" -v b="$bi" -v t="$target" 'BEGIN {
  printf "target: at most %.1f times the floor (%.2f M instructions): %s (%.2f M, %.2f times)\n",
    t, t * b / 1e6, (a <= t * b ? "met" : "not met"), a / 1e6, a / b }'
# What the shared C library costs: the whole run, and the start alone (a run
# that shows the version and ends).
vpi=$(instructions "$prog" "$work/prog" --version); vsi=$(instructions "$stat" "$work/stat" --version)
read -r vpt vpf < <(wall_ms "$prog" "$work/prog" --version)
read -r vst vsf < <(wall_ms "$stat" "$work/stat" --version)
printf '%-14s %14s %16s %14s\n' "--version" instructions "median wall ms" "fastest ms"
printf '%-14s %14s %16s %14s\n' Ramp-SlipV "$vpi" "$vpt" "$vpf"
printf '%-14s %14s %16s %14s\n' "static" "$vsi" "$vst" "$vsf"
awk -v a="$pi" -v s="$si" -v c="$pt" -v t="$st" 'BEGIN {
  printf "shared C library (Ramp-SlipV against static): whole run %+d instructions (%+.1f %%), %+.2f ms\n",
    a - s, 100 * (a - s) / s, c - t }'
awk -v a="$vpi" -v s="$vsi" -v c="$vpt" -v t="$vst" -v f="$vpf" -v g="$vsf" 'BEGIN {
  printf "shared C library, start alone (--version): %+d instructions, %+.2f ms median, %+.2f ms fastest\n",
    a - s, c - t, f - g }'
echo "($runs timed runs each; wall times on a shared machine are noisy, the instruction counts are not)"
