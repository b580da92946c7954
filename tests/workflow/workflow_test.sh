#!/usr/bin/env bash
# The workflow on two small trait groups of the same four phenotypes, one
# run whole and one split by chromosome: both reports exist and the joined
# result file of the split run is byte for byte the unsplit one.
#
#   tests/workflow/workflow_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kolva-workflow-XXXXXX")
trap 'rm -rf "$work"' EXIT

data="$src/tests/prep/data"
cat > "$work/config.yaml" <<YAML
kolva: $build/kolva
kolva_prep: $build/kolva-prep
kolva_report: $build/kolva-report
groups:
  whole:
    traits: {y1: $data/y1.glm.linear, y2: $data/y2.regenie.gz, y3: $data/y3.saige.txt.bgz, y4: $data/y4.ssf.tsv.zst}
  split:
    split_by_chromosome: true
    traits: {y1: $data/y1.glm.linear, y2: $data/y2.regenie.gz, y3: $data/y3.saige.txt.bgz, y4: $data/y4.ssf.tsv.zst}
YAML

snakemake -s "$src/workflow/Snakefile" --configfile "$work/config.yaml" -d "$work" \
  --cores 2 --quiet > "$work/snakemake.log" 2>&1 || { cat "$work/snakemake.log" >&2; exit 1; }

for g in whole split; do
  for f in run/results.txt report/report.html report/results.tsv.gz report/qq.png report/manhattan.png; do
    [ -s "$work/results/$g/$f" ] || { echo "workflow_test: results/$g/$f is missing" >&2; exit 1; }
  done
done
cmp "$work/results/whole/run/results.txt" "$work/results/split/run/results.txt"
[ "$(ls "$work"/results/split/chrom/*/results.txt | wc -l)" -eq 26 ]
echo "workflow_test: two groups, split result file identical to the whole one ($(wc -l < "$work/results/whole/run/results.txt") records)"
