#!/bin/bash
# The R package against the program: the same generated data, on THREADS
# threads (default 2), the program's whole run (files to files) against
# kolva::combine() over the p-values held in an R data.frame: wall time,
# and CPU time of all threads. Each figure is the median of REPEATS runs
# (default 5, alternating); R reads the data before its clock starts.
#
#   bench/r.sh [BUILD_DIR] [WORK_DIR] [THREADS]
#
# Targets as for the library (bench/library.sh): at most 1.05 times the
# program's wall time at 20 phenotypes x 20,000 variants, at most 0.8
# times at 5 x 1,000,000.
set -eu
build=$(cd "${1:-build}" && pwd)
work=${2:-/tmp/kolva-r-bench}
threads=${3:-2}
repeats=${REPEATS:-5}
mkdir -p "$work"
[ -d "$build/R/kolva" ] || { echo "r.sh: $build/R/kolva is not built" >&2; exit 1; }

# cli_seconds DIR: the wall time and the CPU time of one whole run.
cli_seconds() {
  rm -f "$1/results.txt" "$1/kolva_log.txt"
  cd "$1"
  local t0=$EPOCHREALTIME
  /usr/bin/time -f '%U %S' -o time.txt "$build/kolva" --threads "$threads" > /dev/null 2> stderr.txt
  local t1=$EPOCHREALTIME
  cd - > /dev/null
  awk -v a="$t0" -v b="$t1" '{ printf "%.4f %.4f\n", b - a, $1 + $2 }' "$1/time.txt"
}

# r_seconds DIR: the wall time and the CPU time of one combine() in R.
r_seconds() {
  Rscript - "$build/R" "$1" "$threads" <<'RCODE'
args <- commandArgs(TRUE)
library(kolva, lib.loc = args[1])
p <- data.table::fread(file.path(args[2], "pvals.txt"), header = FALSE)[, -(1:2)]
n <- ncol(p)
corr <- matrix(0, n, n)
corr[upper.tri(corr, diag = TRUE)] <- scan(file.path(args[2], "corr.txt"), quiet = TRUE)
corr[lower.tri(corr)] <- t(corr)[lower.tri(corr)]
t <- system.time(combine(p, corr, threads = as.integer(args[3])))
cat(sprintf("%.4f %.4f\n", t[["elapsed"]], t[["user.self"]] + t[["sys.self"]]))
RCODE
}

median() { awk -v f="$1" '{ print $f }' | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

echo "CPU: $(lscpu | sed -n 's/^Model name: *//p' | head -1); threads $threads; medians of $repeats"
printf '%-12s %9s %9s %7s %8s %9s %9s %7s\n' shape "kolva s" "R s" ratio target "kolva cpu" "R cpu" ratio
for shape in 20:20000:1.05 5:1000000:0.8; do
  IFS=: read -r p v target <<< "$shape"
  dir="$work/p${p}_v${v}"
  if [ ! -f "$dir/pvals.txt" ]; then
    mkdir -p "$dir"
    "$build/kolva_gen" "$dir" phenotypes="$p" variants="$v" seed=11 missing=0.03 > /dev/null
  fi
  cli=() rr=()
  for ((i = 0; i < repeats; i++)); do
    cli+=("$(cli_seconds "$dir")")
    rr+=("$(r_seconds "$dir")")
  done
  c=$(printf '%s\n' "${cli[@]}" | median 1)
  r=$(printf '%s\n' "${rr[@]}" | median 1)
  cc=$(printf '%s\n' "${cli[@]}" | median 2)
  rc=$(printf '%s\n' "${rr[@]}" | median 2)
  awk -v s="${p}x${v}" -v c="$c" -v r="$r" -v t="$target" -v cc="$cc" -v rc="$rc" 'BEGIN {
    printf "%-12s %9.4f %9.4f %6.3fx %7.2fx %9.4f %9.4f %6.3fx\n", s, c, r, (c > 0 ? r / c : 0), t,
      cc, rc, (cc > 0 ? rc / cc : 0) }'
done
