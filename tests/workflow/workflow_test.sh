#!/usr/bin/env bash
# The workflow on two small trait groups of the same four phenotypes, one
# run whole and one split by chromosome: both reports exist and the joined
# result file of the split run is byte for byte the unsplit one. The config
# is hostile on purpose: data paths with a blank, programs named by paths
# relative to the working directory, and a title that would run a command
# if it reached the shell unquoted.
#
#   tests/workflow/workflow_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kolva-workflow-XXXXXX")
trap 'rm -rf "$work"' EXIT

mkdir "$work/my data"
cp "$src"/tests/prep/data/y* "$work/my data/"
ln -s "$build" "$work/bin dir"
traits="{y1: my data/y1.glm.linear, y2: my data/y2.regenie.gz, y3: my data/y3.saige.txt.bgz, y4: my data/y4.ssf.tsv.zst}"
cat > "$work/config.yaml" <<YAML
kolva: bin dir/kolva
kolva_prep: ./bin dir/kolva-prep
kolva_report: bin dir/kolva-report
groups:
  whole:
    title: "Smith' ; touch INJECTED ; echo '"
    traits: $traits
  split:
    split_by_chromosome: true
    traits: $traits
YAML

snakemake -s "$src/workflow/Snakefile" --configfile "$work/config.yaml" -d "$work" \
  --cores 2 --quiet > "$work/snakemake.log" 2>&1 || { cat "$work/snakemake.log" >&2; exit 1; }

for g in whole split; do
  for f in run/results.txt report/report.html report/results.tsv.gz report/qq.png report/manhattan.png; do
    [ -s "$work/results/$g/$f" ] || { echo "workflow_test: results/$g/$f is missing" >&2; exit 1; }
  done
done
if [ -e "$work/INJECTED" ]; then
  echo "workflow_test: the title of a group ran as a shell command" >&2
  exit 1
fi
grep -qF "Smith&#x27; ; touch INJECTED ; echo &#x27;" "$work/results/whole/report/report.html" ||
  { echo "workflow_test: the page does not carry the title as given" >&2; exit 1; }
cmp "$work/results/whole/run/results.txt" "$work/results/split/run/results.txt"
set -- "$work"/results/split/chrom/*/results.txt
[ "$#" -eq 26 ]
echo "workflow_test: two groups, split result file identical to the whole one ($(wc -l < "$work/results/whole/run/results.txt") records)"
