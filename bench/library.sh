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
# Targets: see bench/against_cli.sh.
set -eu
build=$(cd "${1:-build}" && pwd)
work=${2:-/tmp/kolva-library-bench}
threads=${3:-2}
repeats=${REPEATS:-5}
mkdir -p "$work"
lib_bin="$build/bench/library_combine"
[ -x "$lib_bin" ] || { echo "library.sh: $lib_bin is not built (it needs Google Benchmark's bench folder)" >&2; exit 1; }

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bench/against_cli.sh
. "$here/against_cli.sh"

lib_seconds() { "$lib_bin" "$1" "$threads" 1 | head -1; }
against_cli lib lib_seconds
