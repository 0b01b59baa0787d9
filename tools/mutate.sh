#!/usr/bin/env bash
# Puts one-line faults into a copy of the tree, one at a time, runs the whole
# suite after each and prints which tests caught it: a fault that no test
# catches is a test missing. Run by hand (it takes about a minute a fault on
# two cores), not in CI.
#
#   tools/mutate.sh [LIST]      LIST: tools/mutants.txt by default
#
# The copy (of the files git knows, with their changes) and its one build
# folder live under $TMPDIR and are removed at the end; each fault rebuilds
# only what it touches. JOBS sets the parallel build and test jobs (2).
# Exit status: 0 when every fault was caught.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list=$(realpath "${1:-$root/tools/mutants.txt}")
jobs=${JOBS:-2}
copy=$(mktemp -d "${TMPDIR:-/tmp}/ramp-mutate.XXXXXX")
trap 'rm -rf "$copy"' EXIT

(cd "$root" && git ls-files -z --cached --others --exclude-standard |
  tar --null -T - -cf -) | tar -xf - -C "$copy"
cd "$copy"

build() { cmake --build build -j"$jobs" >build.log 2>&1; }
# The names of the tests that failed, on one line.
suite() {
  ctest --test-dir build -j"$jobs" --timeout 300 >test.log 2>&1 && return 0
  sed -n '/tests FAILED:/,$ s/^[[:space:]]*[0-9]* - \([^ ]*\) (.*/\1/p' test.log | tr '\n' ' ' | sed 's/ $//'
  return 1
}

echo "mutate: building and testing the unchanged tree in $copy"
cmake -S . -B build -DRAMP_BENCH=OFF >/dev/null
if ! build; then
  tail -20 build.log
  exit 2
fi
if ! failed=$(suite); then
  echo "mutate: the unchanged tree fails: $failed"
  exit 2
fi

# The faults: blocks of "what:", "file:", "from:" and "to:" lines.
whats=() files=() froms=() tos=()
while IFS= read -r line; do
  case $line in
    what:*) whats+=("$(sed 's/^what: *//' <<<"$line")") ;;
    file:*) files+=("$(sed 's/^file: *//' <<<"$line")") ;;
    from:*) froms+=("$(sed 's/^from: *//' <<<"$line")") ;;
    to:*) tos+=("$(sed 's/^to: *//' <<<"$line")") ;;
  esac
done <"$list"

rows=() missed=0
for i in "${!whats[@]}"; do
  what=${whats[$i]} file=${files[$i]} from=${froms[$i]} to=${tos[$i]}
  where="$file:$(grep -nF -- "$from" "$file" | cut -d: -f1 | tr '\n' ' ' | sed 's/ $//' || true)"
  echo "mutate: $what ($where)"
  if [ "$(grep -cF -- "$from" "$file")" != 1 ]; then
    rows+=("| $what | \`$where\` | not applied: the text is not on exactly one line |")
    missed=$((missed + 1))
    continue
  fi
  cp "$file" "$file.orig"
  FROM=$from TO=$to perl -pi -e 's/\Q$ENV{FROM}\E/$ENV{TO}/' "$file"
  if ! build; then
    verdict="not built"
    missed=$((missed + 1))
  elif failed=$(suite); then
    verdict="**not caught**"
    missed=$((missed + 1))
  else
    verdict="caught: $failed"
  fi
  mv "$file.orig" "$file"
  touch "$file"
  rows+=("| $what | \`$where\` | $verdict |")
done

echo
echo "| fault | where | result |"
echo "|---|---|---|"
printf '%s\n' "${rows[@]}"
echo
echo "mutate: $((${#whats[@]} - missed)) of ${#whats[@]} caught"
[ "$missed" = 0 ]
