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

# shellcheck source=bench/against_cli.sh
. "$here/against_cli.sh"

py_seconds() { py "$1" "$threads" 1 | awk 'NR == 1'; }
against_cli py py_seconds

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
