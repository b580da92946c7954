#!/bin/bash
# The Python module against the program, as bench/library.sh measures
# libkolva (the same generated data, the same timing): on THREADS threads
# (default 2), the program's whole run (files to files) against
# kolva.combine over the p-values held in memory as a float64 array; wall
# time and CPU time of all threads, each the median of REPEATS runs
# (default 5, alternating). Then the memory a combine takes beyond its
# input, for each form the module reads without a copy, and the rate of
# kolva.read_pvals.
#
#   bench/python.sh [BUILD_DIR] [WORK_DIR] [THREADS]
#
# Targets: at most 1.05 times the program's wall time at 20 phenotypes x
# 20,000 variants, at most 0.8 times at 5 x 1,000,000; no copy of the
# p-values (the memory a combine takes is its output and one block of
# values per thread).
set -eu
build=$(cd "${1:-build}" && pwd)
work=${2:-/tmp/kolva-library-bench}
threads=${3:-2}
repeats=${REPEATS:-5}
mkdir -p "$work"
here=$(cd "$(dirname "$0")" && pwd)
[ -f "$build/python/kolva/__init__.py" ] || { echo "python.sh: $build/python/kolva is not built" >&2; exit 1; }
py() { PYTHONPATH="$build/python" /usr/bin/python3 "$here/python_combine.py" "$@"; }

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

# study P V: the folder of generated data, made once.
study() {
  local dir="$work/p$1_v$2"
  if [ ! -f "$dir/pvals.txt" ]; then
    mkdir -p "$dir"
    "$build/kolva_gen" "$dir" phenotypes="$1" variants="$2" seed=11 missing=0.03 > /dev/null
  fi
  echo "$dir"
}

echo "CPU: $(lscpu | sed -n 's/^Model name: *//p' | head -1); threads $threads; medians of $repeats"
printf '%-12s %9s %9s %7s %8s %9s %9s %7s\n' shape "kolva s" "py s" ratio target "kolva cpu" "py cpu" ratio
for shape in 20:20000:1.05 5:1000000:0.8; do
  IFS=: read -r p v target <<< "$shape"
  dir=$(study "$p" "$v")
  cli=() lib=()
  for ((i = 0; i < repeats; i++)); do
    cli+=("$(cli_seconds "$dir")")
    lib+=("$(py "$dir" "$threads" 1 | awk 'NR == 1')")
  done
  c=$(printf '%s\n' "${cli[@]}" | median 1)
  l=$(printf '%s\n' "${lib[@]}" | median 1)
  cc=$(printf '%s\n' "${cli[@]}" | median 2)
  lc=$(printf '%s\n' "${lib[@]}" | median 2)
  awk -v s="${p}x${v}" -v c="$c" -v l="$l" -v t="$target" -v cc="$cc" -v lc="$lc" 'BEGIN {
    printf "%-12s %9.4f %9.4f %6.3fx %7.2fx %9.4f %9.4f %6.3fx\n", s, c, l, (c > 0 ? l / c : 0), t,
      cc, lc, (cc > 0 ? lc / cc : 0) }'
done

dir=$(study 5 1000000)
echo
echo "memory of a combine at 5x1000000 (peak resident above the start, MB; output 7.6 MB)"
printf '%-8s %9s %9s\n' form "peak MB" "p MB"
for form in c fortran float32 frame; do
  py "$dir" "$threads" 2 "$form" | awk -v f="$form" '$1 == "peak" { printf "%-8s %9.1f %9.1f\n", f, $2, $3 }'
done

echo
echo "kolva.read_pvals (one thread), median of 3"
printf '%-12s %9s %12s %9s\n' shape seconds "lines/s" "MB/s"
for shape in 5:1000000 20:500000; do
  IFS=: read -r p v <<< "$shape"
  dir=$(study "$p" "$v")
  s=$(for ((i = 0; i < 3; i++)); do py "$dir" 1 0 | awk '$1 == "read" { print $2 }'; done | median 1)
  bytes=$(stat -c %s "$dir/pvals.txt")
  awk -v sh="${p}x${v}" -v s="$s" -v v="$v" -v b="$bytes" 'BEGIN {
    printf "%-12s %9.4f %12.0f %9.1f\n", sh, s, v / s, b / s / 1e6 }'
done
