#!/bin/bash
# libkolva against the program: the same generated data, on THREADS
# threads (default 2), the program's whole run (files to files) against
# the library's engine and combine over the p-values held in memory: wall
# time, and CPU time of all threads (the fairer figure on a loaded
# machine). Each figure is the median of REPEATS runs (default 5,
# alternating).
#
#   bench/library.sh [BUILD_DIR] [WORK_DIR] [THREADS]
#
# Targets (per variant the library has no parsing or formatting to do):
# at most 1.05 times the program's wall time at 20 phenotypes x 20,000
# variants, at most 0.8 times at 5 x 1,000,000.
set -eu
build=$(cd "${1:-build}" && pwd)
work=${2:-/tmp/kolva-library-bench}
threads=${3:-2}
repeats=${REPEATS:-5}
mkdir -p "$work"
lib_bin="$build/bench/library_combine"
[ -x "$lib_bin" ] || { echo "library.sh: $lib_bin is not built (it needs Google Benchmark's bench folder)" >&2; exit 1; }

# cli_seconds DIR: the wall time and the CPU time of one whole run of the
# program.
cli_seconds() {
  rm -f "$1/results.txt" "$1/kolva_log.txt"
  cd "$1"
  local t0=$EPOCHREALTIME
  /usr/bin/time -f '%U %S' -o time.txt "$build/kolva" --threads "$threads" > /dev/null 2> stderr.txt
  local t1=$EPOCHREALTIME
  cd - > /dev/null
  awk -v a="$t0" -v b="$t1" '{ printf "%.4f %.4f\n", b - a, $1 + $2 }' "$1/time.txt"
}

# median FIELD: the median of that field of the lines read.
median() { awk -v f="$1" '{ print $f }' | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

echo "CPU: $(lscpu | sed -n 's/^Model name: *//p' | head -1); threads $threads; medians of $repeats"
printf '%-12s %9s %9s %7s %8s %9s %9s %7s\n' shape "kolva s" "lib s" ratio target "kolva cpu" "lib cpu" ratio
for shape in 20:20000:1.05 5:1000000:0.8; do
  IFS=: read -r p v target <<< "$shape"
  dir="$work/p${p}_v${v}"
  if [ ! -f "$dir/pvals.txt" ]; then
    mkdir -p "$dir"
    "$build/kolva_gen" "$dir" phenotypes="$p" variants="$v" seed=11 missing=0.03 > /dev/null
  fi
  cli=() lib=()
  for ((i = 0; i < repeats; i++)); do
    cli+=("$(cli_seconds "$dir")")
    lib+=("$("$lib_bin" "$dir" "$threads" 1 | head -1)")
  done
  c=$(printf '%s\n' "${cli[@]}" | median 1)
  l=$(printf '%s\n' "${lib[@]}" | median 1)
  cc=$(printf '%s\n' "${cli[@]}" | median 2)
  lc=$(printf '%s\n' "${lib[@]}" | median 2)
  awk -v s="${p}x${v}" -v c="$c" -v l="$l" -v t="$target" -v cc="$cc" -v lc="$lc" 'BEGIN {
    printf "%-12s %9.4f %9.4f %6.3fx %7.2fx %9.4f %9.4f %6.3fx\n", s, c, l, (c > 0 ? l / c : 0), t,
      cc, lc, (cc > 0 ? lc / cc : 0) }'
done
