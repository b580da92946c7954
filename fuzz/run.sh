#!/usr/bin/env bash
# Builds the fuzz targets (build-fuzz/, clang-14) and runs each named target
# for SECONDS on a working corpus in fuzz-out/<target>, seeded from
# fuzz/corpus/<target>. Crash inputs are left in fuzz-out/ and the script
# fails.
#   fuzz/run.sh SECONDS [freeform text variant run prep api]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: fuzz/run.sh SECONDS [target...]}
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(freeform text variant run prep api)

CXX=clang++-14 cmake -S . -B build-fuzz -DKOLVA_FUZZ=ON -DKOLVA_TESTS=OFF -DKOLVA_BENCH=OFF >/dev/null
cmake --build build-fuzz -j2 >/dev/null

status=0
for t in "${targets[@]}"; do
  mkdir -p "fuzz-out/$t"
  log="fuzz-out/$t.log"
  if (cd fuzz-out && "../build-fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" \
        -print_final_stats=1 -artifact_prefix="$t-" -timeout=10 -rss_limit_mb=2048 \
        "$t" "../fuzz/corpus/$t") >"$log" 2>&1; then
    echo "fuzz_$t: $(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}') runs, no finding"
  else
    echo "fuzz_$t: FINDING, see $log"; tail -30 "$log"
    status=1
  fi
done
exit $status
