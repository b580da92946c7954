#!/usr/bin/env bash
# A whole study from compressed association files to the finished report:
# TRAITS traits x VARIANTS variants (default 20 x 2,000,000) made by
# prep_bench_gen in the four formats kolva-prep reads (PLINK 2 .glm.linear,
# REGENIE, SAIGE, GWAS-SSF: trait i in format i mod 4) and three
# compressions (gzip, bgzip, zstd: i mod 3), then kolva-prep -> kolva ->
# kolva-report at all threads. Prints per stage the wall time, the CPU time
# (user + system), the peak resident memory and the throughput (variants/s,
# input MB/s), and, measured in the same run, decompressing all inputs
# twice to /dev/null (zcat for gzip and bgzip files, which are gzip too;
# zstd -dc for zstd, which zcat cannot read) with the ratio pipeline /
# decompress-twice.
#
#   bench/pipeline.sh [BUILD_DIR] [WORK_DIR] [TRAITS] [VARIANTS]
#   MAKE_ONLY=1 bench/pipeline.sh ...   only make the data
#   SPLIT=1 bench/pipeline.sh ...       also run the workflow on the study
#       whole and split by chromosome and compare the two result files
#
# BUILD_DIR holds the programs and prep_bench_gen (default build); the data
# go to WORK_DIR/data (default /tmp/kolva-pipeline; about 1.2 GB at the
# default size) and are reused while TRAITS and VARIANTS stay the same.
# Needs /usr/bin/time, bgzip and zstd (tools/setup.sh); SPLIT=1 snakemake.
set -euo pipefail
case "${1:-}" in
  -h | --help) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
  --version) echo "pipeline.sh (kolva bench)"; exit 0 ;;
esac
if [ $# -gt 4 ]; then
  echo "usage: bench/pipeline.sh [BUILD_DIR] [WORK_DIR] [TRAITS] [VARIANTS]" >&2
  exit 64
fi
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
work=${2:-/tmp/kolva-pipeline}
traits=${3:-20}
variants=${4:-2000000}
threads=$(nproc)
for n in "$traits" "$variants"; do
  [[ "$n" =~ ^[1-9][0-9]*$ ]] || { echo "pipeline.sh: '$n' is not a positive count" >&2; exit 64; }
done
for p in kolva kolva-prep kolva-report prep_bench_gen; do
  [ -x "$build/$p" ] || { echo "pipeline.sh: $build/$p is missing (build it first)" >&2; exit 64; }
done
data=$work/data
mkdir -p "$data"

formats=(plink regenie saige ssf)
suffixes=(glm.linear regenie saige.txt ssf.tsv)
compressors=("gzip -c" "bgzip -c" "zstd -q -c")
ext=(gz bgz zst)
files=() pairs=()
for ((i = 0; i < traits; i++)); do
  f="$data/t$i.${suffixes[i % 4]}.${ext[i % 3]}"
  files+=("$f")
  pairs+=("t$i=$f")
done

# Each file is written with its uncompressed size beside it (FILE.size).
if [ "$(cat "$data/.made" 2>/dev/null)" != "$traits $variants" ]; then
  echo "pipeline.sh: making $traits traits x $variants variants in $data ..." >&2
  rm -f "$data"/t* "$data/.made"
  for ((i = 0; i < traits; i++)); do
    printf '%s\0' "set -o pipefail; '$build/prep_bench_gen' $i $variants ${formats[i % 4]} | tee >(wc -c > '${files[i]}.size') | ${compressors[i % 3]} > '${files[i]}' && wait \$!"
  done | xargs -0 -P "$threads" -n 1 bash -c
  echo "$traits $variants" > "$data/.made"
fi
[ "${MAKE_ONLY:-0}" = 1 ] && { echo "pipeline.sh: data ready in $data"; exit 0; }

in_bytes=$(stat -c %s "${files[@]}" | awk '{ s += $1 } END { print s }')
raw_bytes=$(cat "${files[@]/%/.size}" | awk '{ s += $1 } END { print s }')

# timed NAME COMMAND...: runs COMMAND under /usr/bin/time and appends
# "NAME wall user sys peak_kB" to $work/times.txt.
timed() {
  local name=$1
  shift
  /usr/bin/time -f "$name %e %U %S %M" -a -o "$work/times.txt" "$@"
}
rm -f "$work/times.txt"
rm -rf "$work/run" "$work/report" "$work/prep_stderr.txt"
load0=$(cut -d' ' -f1-3 /proc/loadavg)

# Each compression's files twice under one timer each, by zcat where it
# can read them; "decompress x2" is the sum.
for x in gz bgz zst; do
  set -- "$data"/t*."$x"
  [ -e "$1" ] || continue
  # shellcheck disable=SC2016  # the inner shell expands "$@" and "$f"
  timed "unzip-$x" bash -c '
    for k in 1 2; do
      for f in "$@"; do
        case "$f" in
          *.gz | *.bgz) zcat "$f" ;;
          *.zst) zstd -q -dc "$f" ;;
        esac
      done
    done > /dev/null' _ "$@"
done

# A stage that fails stops the bench with its messages.
timed kolva-prep "$build/kolva-prep" -o "$work/run" --threads "$threads" --quiet "${pairs[@]}" \
  2> "$work/prep_stderr.txt" || { cat "$work/prep_stderr.txt" >&2; exit 1; }
(cd "$work/run" && timed kolva "$build/kolva" --threads "$threads" > kolva_stdout.txt 2> kolva_stderr.txt) ||
  { cat "$work/run/kolva_stderr.txt" >&2; exit 1; }
timed kolva-report "$build/kolva-report" --map "$work/run/variants.tsv.gz" -o "$work/report" \
  "$work/run/results.txt" > /dev/null
load1=$(cut -d' ' -f1-3 /proc/loadavg)

union=$(awk 'NR == 1 { print $2 }' "$work/run/defdims")
kolva_in=$(stat -c %s "$work/run/pvals.txt" "$work/run/corr.txt" | awk '{ s += $1 } END { print s }')
report_in=$(stat -c %s "$work/run/results.txt" "$work/run/variants.tsv.gz" | awk '{ s += $1 } END { print s }')

echo "A study of $traits traits x $variants variants ($union in the union), $(nproc) threads, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "inputs: $(awk -v b="$in_bytes" -v r="$raw_bytes" 'BEGIN { printf "%.0f MB compressed, %.0f MB uncompressed", b / 1e6, r / 1e6 }')"
echo "load average before: $load0, after: $load1"
awk -v union="$union" -v in_prep="$in_bytes" -v raw="$raw_bytes" -v in_kolva="$kolva_in" \
    -v in_report="$report_in" '
  { wall[$1] = $2; cpu[$1] = $3 + $4; peak[$1] = $5 / 1024 }
  function row(name, w, c, p, input) {
    printf "%-15s %8.2f %8.2f %9.0f %12.0f %9.0f %8.1f\n", name, w, c, p, union / w, input / 1e6, input / 1e6 / w
  }
  END {
    printf "%-15s %8s %8s %9s %12s %9s %8s\n", "stage", "wall s", "CPU s", "peak MiB", "variants/s", "input MB", "MB/s"
    row("kolva-prep", wall["kolva-prep"], cpu["kolva-prep"], peak["kolva-prep"], in_prep)
    row("kolva", wall["kolva"], cpu["kolva"], peak["kolva"], in_kolva)
    row("kolva-report", wall["kolva-report"], cpu["kolva-report"], peak["kolva-report"], in_report)
    w = wall["kolva-prep"] + wall["kolva"] + wall["kolva-report"]
    c = cpu["kolva-prep"] + cpu["kolva"] + cpu["kolva-report"]
    p = peak["kolva-prep"]; if (peak["kolva"] > p) p = peak["kolva"]; if (peak["kolva-report"] > p) p = peak["kolva-report"]
    row("pipeline", w, c, p, in_prep)
    for (x in wall) if (x ~ /^unzip-/) { uw += wall[x]; uc += cpu[x]; if (peak[x] > up) up = peak[x] }
    row("decompress x2", uw, uc, up, 2 * in_prep)
    n = split("gz bgz zst", xs, " ")
    for (i = 1; i <= n; i++) if (("unzip-" xs[i]) in wall) printf "  of which %-4s %9.2f %8.2f\n", xs[i], wall["unzip-" xs[i]], cpu["unzip-" xs[i]]
    ratio = w / uw
    printf "uncompressed input through kolva-prep: %.1f MB/s\n", raw / 1e6 / wall["kolva-prep"]
    printf "ratio pipeline / decompress-twice: %.2f (target below 1: %s)\n", ratio, ratio < 1 ? "met" : "missed"
    printf "largest peak memory: %.0f MiB (target at most 1024: %s)\n", p, p <= 1024 ? "met" : "missed"
  }' "$work/times.txt"

[ "${SPLIT:-0}" = 1 ] || exit 0

# The workflow on the same study, one group whole and one split by
# chromosome: the two result files must be the same bytes.
flow=$work/workflow
rm -rf "$flow"
mkdir -p "$flow"
{
  echo "kolva: $build/kolva"
  echo "kolva_prep: $build/kolva-prep"
  echo "kolva_report: $build/kolva-report"
  echo "groups:"
  for g in whole split; do
    echo "  $g:"
    [ "$g" = split ] && echo "    split_by_chromosome: true"
    echo "    traits:"
    for ((i = 0; i < traits; i++)); do echo "      t$i: ${files[i]}"; done
  done
} > "$flow/config.yaml"
for g in whole split; do
  timed "workflow-$g" snakemake -s "$src/workflow/Snakefile" --configfile "$flow/config.yaml" \
    -d "$flow" --cores "$threads" --quiet all -- "results/$g/run/results.txt" > "$flow/$g.log" 2>&1 ||
    { cat "$flow/$g.log" >&2; exit 1; }
done
awk '$1 ~ /^workflow-/ { printf "snakemake %-6s %8.2f s wall %8.2f s CPU %6.0f MiB peak\n", substr($1, 10), $2, $3 + $4, $5 / 1024 }' "$work/times.txt"
sha256sum "$work/run/results.txt" "$flow/results/whole/run/results.txt" "$flow/results/split/run/results.txt" |
  sed "s|$work/||"
if cmp -s "$flow/results/whole/run/results.txt" "$flow/results/split/run/results.txt" &&
   cmp -s "$work/run/results.txt" "$flow/results/whole/run/results.txt"; then
  echo "split by chromosome: joined result identical to the whole run"
else
  echo "split by chromosome: joined result DIFFERS from the whole run" >&2
  exit 1
fi
