#!/bin/bash
# End-to-end throughput of the whole program, files to files, on generated
# data of four shapes: prints variants per second, wall time and peak
# memory of each run.
#
#   bench/e2e.sh [BUILD_DIR] [WORK_DIR]
#
# BUILD_DIR holds kolva and kolva_gen (default: build); the data sets are
# generated once into WORK_DIR (default: /tmp/kolva-e2e) and reused.
set -eu
build=$(cd "${1:-build}" && pwd)
work=${2:-/tmp/kolva-e2e}
mkdir -p "$work"

printf '%-12s %10s %10s %14s %12s\n' shape variants seconds variants/s peak_kB
for shape in 50:2000 20:20000 5:200000 2:1000000; do
  p=${shape%%:*}
  v=${shape##*:}
  dir="$work/p${p}_v${v}"
  if [ ! -f "$dir/pvals.txt" ]; then
    mkdir -p "$dir"
    "$build/kolva_gen" "$dir" phenotypes="$p" variants="$v" seed=11 missing=0.03
  fi
  rm -f "$dir/results.txt" "$dir/kolva_log.txt"
  t0=$EPOCHREALTIME
  (cd "$dir" && /usr/bin/time -f '%M' -o time.txt "$build/kolva" > /dev/null 2> stderr.txt)
  t1=$EPOCHREALTIME
  secs=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
  read -r peak < "$dir/time.txt"
  rate=$(awk -v v="$v" -v s="$secs" 'BEGIN { printf "%.0f", (s > 0 ? v / s : 0) }')
  printf '%-12s %10s %10s %14s %12s\n' "${p}x${v}" "$v" "$secs" "$rate" "$peak"
done
