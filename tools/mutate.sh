#!/usr/bin/env bash
# Puts one-line faults into a copy of the tree, one at a time, runs the whole
# suite after each and prints which tests caught it: a fault that no test
# catches is a test missing. Run by hand (it takes about a minute a fault on
# two cores), not in CI.
#
#   tools/mutate.sh [LIST]          LIST: tools/mutants.txt by default
#   tools/mutate.sh --check [LIST]  only checks that every entry's text is on
#                                   exactly one line of its file (CI runs it)
#
# The copy (of the files git knows, with their changes) and its one build
# folder live under $TMPDIR and are removed at the end; each fault rebuilds
# only what it touches. JOBS sets the parallel build and test jobs (2).
# Exit status: 0 when every fault was caught, or with --check when every
# entry applies; 1 otherwise.
set -euo pipefail
check=false
if [ "${1:-}" = --check ]; then
  check=true
  shift
fi
root=$(cd "$(dirname "$0")/.." && pwd)
list=$(realpath "${1:-$root/tools/mutants.txt}")
jobs=${JOBS:-2}

# The faults: blocks of "what:", "file:", "from:" and "to:" lines, each
# block begun by its "what:".
whats=() files=() froms=() tos=()
while IFS= read -r line; do
  value=${line#*:}
  value=${value#"${value%%[! ]*}"}  # without the blanks after the colon
  n=$((${#whats[@]} - 1))
  case $line in
    file:* | from:* | to:*)
      [ "$n" -ge 0 ] || { echo "mutate: $list: \"$line\" before the first \"what:\"" >&2 && exit 1; } ;;
  esac
  case $line in
    what:*) whats+=("$value") ;;
    file:*) files[n]=$value ;;
    from:*) froms[n]=$value ;;
    to:*) tos[n]=$value ;;
  esac
done <"$list"

# The numbers of the lines of entry $1's file that hold its text.
lines_of() {
  grep -nF -- "${froms[$1]:-}" "${files[$1]:-}" | cut -d: -f1 | tr '\n' ' ' | sed 's/ $//' || true
}

# Whether entry $1 applies: its text on exactly one line of its file;
# otherwise the entry, its file and what is wrong on standard error.
applies() {
  local what=${whats[$1]} file=${files[$1]:-} from=${froms[$1]:-} fault at
  if [ -z "$file" ] || [ -z "$from" ] || [ -z "${tos[$1]+set}" ]; then
    fault="its block lacks a \"file:\", \"from:\" or \"to:\" line"
  elif [ ! -f "$file" ]; then
    fault="there is no such file"
  else
    at=$(lines_of "$1")
    case $at in
      *' '*) fault="the text is on lines $at of the file, not on one" ;;
      '') fault="the text is on no line of the file" ;;
      *) return 0 ;;
    esac
  fi
  echo "mutate: ${list#"$root"/}: \"$what\" ($file): $fault: $from" >&2
  return 1
}

if $check; then
  cd "$root"
  stale=0
  for i in "${!whats[@]}"; do applies "$i" || stale=$((stale + 1)); done
  if [ "$stale" != 0 ]; then
    echo "mutate: $stale of ${#whats[@]} entries do not apply: mend them to today's code" >&2
    exit 1
  fi
  echo "mutate: all ${#whats[@]} entries of ${list#"$root"/} apply"
  exit 0
fi

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

rows=() missed=0
for i in "${!whats[@]}"; do
  what=${whats[$i]} file=${files[$i]:-} from=${froms[$i]:-} to=${tos[$i]:-}
  where="$file:$(lines_of "$i" 2>/dev/null)"
  echo "mutate: $what ($where)"
  if ! applies "$i"; then
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
