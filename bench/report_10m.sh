#!/bin/bash
# kolva-report on 10,000,000 result records with a variant map: prints the
# wall time and the peak resident memory of the report alone.
#
#   bench/report_10m.sh [BUILD_DIR]      (default: build)
#
# The data (kolva_gen, 2 phenotypes, 3 % missing, then kolva; the map made
# from the p-value file like kolva-prep's) go to a temporary directory in
# $TMPDIR (default /tmp, about 1.5 GB at the peak) that is deleted at the
# end. Needs /usr/bin/time (Debian package "time").
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
variants=10000000
work=$(mktemp -d "${TMPDIR:-/tmp}/kolva-report-10m-XXXXXX")
trap 'rm -rf "$work"' EXIT

"$build/kolva_gen" "$work" phenotypes=2 variants=$variants seed=5 missing=0.03 >/dev/null
(cd "$work" && "$build/kolva" >/dev/null 2>&1)
# chrom, pos (300 bases apart within a chromosome), id, alleles, present count.
awk 'BEGIN { OFS = "\t"; print "chrom", "pos", "id", "allele1", "allele2", "n_present" }
     { n = 0; for (i = 3; i <= NF; i++) if ($i != "NA" && $i != "-9") n++
       print $1, 300 * ++c[$1], $2, "A", "G", n }' "$work/pvals.txt" |
  gzip -1 >"$work/variants.tsv.gz"
rm "$work/pvals.txt"

/usr/bin/time -f '%e %M' -o "$work/time.txt" \
  "$build/kolva-report" -o "$work/out" "$work/results.txt" >/dev/null
read -r secs kib <"$work/time.txt"
rows=$(($(zcat "$work/out/results.tsv.gz" | wc -l) - 1))
[ "$rows" -eq "$variants" ] || { echo "report_10m: $rows rows for $variants records" >&2; exit 1; }
printf 'kolva-report, %d records with a map: %s s, peak %d MiB\n' "$variants" "$secs" $((kib / 1024))
