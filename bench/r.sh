#!/bin/bash
# The R package against the program: the same generated data, on THREADS
# threads (default 2), the program's whole run (files to files) against
# kolva::combine() over the p-values held in an R data.frame: wall time,
# and CPU time of all threads. Each figure is the median of REPEATS runs
# (default 5, alternating); R reads the data before its clock starts.
#
#   bench/r.sh [BUILD_DIR] [WORK_DIR] [THREADS]
#
# Targets: see bench/against_cli.sh.
set -eu
build=$(cd "${1:-build}" && pwd)
work=${2:-/tmp/kolva-library-bench}
threads=${3:-2}
repeats=${REPEATS:-5}
mkdir -p "$work"
[ -d "$build/R/kolva" ] || { echo "r.sh: $build/R/kolva is not built" >&2; exit 1; }

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bench/against_cli.sh
. "$here/against_cli.sh"

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

against_cli R r_seconds
