#!/bin/bash
# kolva-report on 10,000,000 result records of 20 phenotypes with a variant
# map and the run behind them (100,000 null draws through the engine):
# prints the wall time and the peak resident memory of the report alone,
# with the run and with --no-run. Targets: <= 90 s and <= 2 GiB on 2 cores.
#
#   bench/report_10m.sh [BUILD_DIR] [VARIANTS] [PHENOTYPES]   (default: build 10000000 20)
#
# The data (kolva_gen, 3 % missing, then kolva on all CPUs; the map made
# from the p-value file like kolva-prep's) go to a temporary directory in
# $TMPDIR (default /tmp, about 3 GB at the peak) that is deleted at the end.
# Making them takes several minutes (kolva evaluates 10 M variants of 20
# phenotypes). Needs /usr/bin/time (Debian package "time") and the engine's
# Python module where the launcher finds it.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
variants=${2:-10000000}
phenotypes=${3:-20}
work=$(mktemp -d "${TMPDIR:-/tmp}/kolva-report-10m-XXXXXX")
trap 'rm -rf "$work"' EXIT

"$build/kolva_gen" "$work" phenotypes="$phenotypes" variants="$variants" seed=5 missing=0.03 \
  >/dev/null
(cd "$work" && "$build/kolva" >/dev/null 2>&1)
# chrom, pos (300 bases apart within a chromosome), id, alleles, present count.
awk 'BEGIN { OFS = "\t"; print "chrom", "pos", "id", "allele1", "allele2", "n_present" }
     { n = 0; for (i = 3; i <= NF; i++) if ($i != "NA" && $i != "-9") n++
       print $1, 300 * ++c[$1], $2, "A", "G", n }' "$work/pvals.txt" |
  gzip -1 >"$work/variants.tsv.gz"

cpu=$(lscpu | sed -n 's/^Model name: *//p')
for mode in run no-run; do
  args=()
  [ "$mode" = no-run ] && args=(--no-run)
  /usr/bin/time -f '%e %M' -o "$work/time.txt" \
    "$build/kolva-report" "${args[@]}" -o "$work/out-$mode" "$work/results.txt" >/dev/null
  read -r secs kib <"$work/time.txt"
  rows=$(($(zcat "$work/out-$mode/results.tsv.gz" | wc -l) - 1))
  [ "$rows" -eq "$variants" ] ||
    { echo "report_10m: $rows rows for $variants records" >&2; exit 1; }
  printf 'kolva-report (%s), %d records of %d phenotypes with a map: %s s, peak %d MiB; %s\n' \
    "$mode" "$variants" "$phenotypes" "$secs" $((kib / 1024)) "$cpu"
done
