#!/bin/bash
# End-to-end throughput of the whole program, files to files, on generated
# data of four shapes: variants per second on one thread and on all
# threads, their ratio, and the peak memory of each run. Each figure is
# the median of REPEATS runs (default 5; the runs of one thread count and
# the other alternate, so a busy spell slows both alike).
#
#   bench/e2e.sh [BUILD_DIR] [WORK_DIR] [THREADS]
#   REPEATS=9 bench/e2e.sh
#
# BUILD_DIR holds kolva and kolva_gen (default: build); the data sets are
# generated once into WORK_DIR (default: /tmp/kolva-e2e) and reused.
# THREADS is the "all threads" count (default: the CPUs this shell may use).
set -eu
build=$(cd "${1:-build}" && pwd)
work=${2:-/tmp/kolva-e2e}
all=${3:-$(nproc)}
repeats=${REPEATS:-5}
mkdir -p "$work"

# seconds DIR THREADS: the wall time of one run, timed in this shell
# around kolva alone (no wrapper process in the time).
seconds() {
  rm -f "$1/results.txt" "$1/kolva_log.txt"
  cd "$1"
  local t0=$EPOCHREALTIME
  "$build/kolva" --threads "$2" > /dev/null 2> stderr.txt
  local t1=$EPOCHREALTIME
  cd - > /dev/null
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f\n", b - a }'
}

# peak DIR THREADS: the peak resident memory (kB) of one run.
peak() {
  (cd "$1" && /usr/bin/time -f '%M' -o time.txt "$build/kolva" --threads "$2" > /dev/null 2> stderr.txt)
  cat "$1/time.txt"
}

printf '%-12s %10s %12s %12s %7s %10s %10s\n' shape variants "1 thread/s" "$all threads/s" ratio "peak1_kB" "peak${all}_kB"
for shape in 50:2000 20:20000 5:200000 2:1000000; do
  p=${shape%%:*}
  v=${shape##*:}
  dir="$work/p${p}_v${v}"
  if [ ! -f "$dir/pvals.txt" ]; then
    mkdir -p "$dir"
    "$build/kolva_gen" "$dir" phenotypes="$p" variants="$v" seed=11 missing=0.03 > /dev/null
  fi
  t1=() tn=()
  for ((i = 0; i < repeats; i++)); do
    t1+=("$(seconds "$dir" 1)")
    tn+=("$(seconds "$dir" "$all")")
  done
  s1=$(printf '%s\n' "${t1[@]}" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
  sn=$(printf '%s\n' "${tn[@]}" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
  m1=$(peak "$dir" 1)
  mn=$(peak "$dir" "$all")
  awk -v shape="${p}x${v}" -v v="$v" -v s1="$s1" -v sn="$sn" -v m1="$m1" -v mn="$mn" 'BEGIN {
    r1 = s1 > 0 ? v / s1 : 0; rn = sn > 0 ? v / sn : 0
    printf "%-12s %10d %12.0f %12.0f %6.2fx %10d %10d\n", shape, v, r1, rn, (r1 > 0 ? rn / r1 : 0), m1, mn }'
done
