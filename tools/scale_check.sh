#!/usr/bin/env bash
# Streaming at scale: runs kolva on generated data sets of growing size and
# checks that its peak resident memory does not grow with the number of
# variants, and that the result file holds exactly one record per variant.
#
#   tools/scale_check.sh [BUILD_DIR]      (default: build)
#
# Shapes: 2 phenotypes with 10,000 and 10,000,000 variants, on one thread
# and on THREADS threads (default 7); 50 phenotypes with 10,000 and
# 100,000 variants. Needs about 2 GB of free space in
# $TMPDIR (default /tmp) and /usr/bin/time (Debian package "time").
# The large runs take a few minutes each; this is not part of the test
# suite. Memory may grow by at most SLACK_KB (default 2048) over the small
# run of the same shape.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
slack=${SLACK_KB:-2048}
threads=${THREADS:-7}

if [ ! -x /usr/bin/time ]; then
  echo "scale_check: /usr/bin/time is missing (apt-get install time)" >&2
  exit 1
fi
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j2 --target kolva kolva_gen >/dev/null
kolva=$(realpath "$build/kolva")
gen=$(realpath "$build/kolva_gen")

work=$(mktemp -d "${TMPDIR:-/tmp}/kolva-scale-XXXXXX")
trap 'rm -rf "$work"' EXIT

# run SHAPE_NAME PHENOTYPES VARIANTS [THREADS]: prints the peak resident
# set in KiB.
run() {
  local dir="$work/$1"
  mkdir -p "$dir"
  "$gen" "$dir" phenotypes="$2" variants="$3" >/dev/null
  (cd "$dir" && /usr/bin/time -v -o time.txt "$kolva" --threads "${4:-1}" >/dev/null 2>stderr.txt) || {
    echo "scale_check: kolva failed on $1: $(cat "$dir/stderr.txt")" >&2
    exit 1
  }
  local records
  records=$(wc -l <"$dir/results.txt")
  if [ "$records" -ne "$3" ]; then
    echo "scale_check: $1: $records result records for $3 variants" >&2
    exit 1
  fi
  local rss secs
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$dir/time.txt")
  secs=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$dir/time.txt")
  printf '%-22s %3d phenotypes %9d variants %3d threads  peak %6d KiB  %s\n' "$1" "$2" "$3" "${4:-1}" "$rss" "$secs" >&2
  rm -rf "$dir"
  echo "$rss"
}

status=0
check() {  # check NAME SMALL_RSS LARGE_RSS
  if [ "$3" -gt $(($2 + slack)) ]; then
    echo "scale_check: $1: peak memory grew from $2 KiB to $3 KiB" >&2
    status=1
  fi
}

small2=$(run small-2 2 10000)
large2=$(run large-2 2 10000000)
check "2 phenotypes" "$small2" "$large2"
small2t=$(run small-2-threads 2 10000 "$threads")
large2t=$(run large-2-threads 2 10000000 "$threads")
check "2 phenotypes, $threads threads" "$small2t" "$large2t"
small50=$(run small-50 50 10000)
large50=$(run large-50 50 100000)
check "50 phenotypes" "$small50" "$large50"

[ $status -eq 0 ] && echo "scale_check: peak memory flat, every run wrote one record per variant" >&2
exit $status
