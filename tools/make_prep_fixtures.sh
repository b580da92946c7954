#!/usr/bin/env bash
# Remakes the kolva-prep test fixtures in tests/prep/data/ from Debian's
# plink2: 400 dummy samples, 1,500 dummy variants spread over chromosomes
# 1, 2 and X, and four correlated quantitative phenotypes y1 ... y4 (one
# shared factor; true correlations 0.4 to 0.56) tested with --glm. Then:
#   y1.glm.linear        PLINK 2 as written, plain
#   y2.regenie.gz        REGENIE step 2 made from y2, gzip (X as 23,
#                        LOG10P, every 40th variant left out)
#   y3.saige.txt.bgz     SAIGE step 2 made from y3, bgzip ("chr" prefix)
#   y4.ssf.tsv.zst       GWAS-SSF made from y4, zstd (X as 23, every other
#                        variant with its alleles swapped and the effect
#                        negated, #NA for missing)
# Needs plink2, awk, gzip, bgzip (tabix) and zstd (tools/setup.sh).
#   tools/make_prep_fixtures.sh
set -euo pipefail
out=$(cd "$(dirname "$0")/.." && pwd)/tests/prep/data
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

plink2 --dummy 400 1500 0.01 acgt --seed 1 --out dummy >/dev/null
# chromosome 1: variants 0-699, 2: 700-1299, X: 1300-1499
awk 'BEGIN { OFS = "\t" } NR == 1 { print; next }
     { n = NR - 2
       if (n < 700) { $1 = 1; $2 = 10000 + n * 137 }
       else if (n < 1300) { $1 = 2; $2 = 5000 + (n - 700) * 211 }
       else { $1 = "X"; $2 = 200000 + (n - 1300) * 97 }
       print }' dummy.pvar > g.pvar
cp dummy.pgen g.pgen
cp dummy.psam g.psam
# y_k = sqrt(c_k) f + sqrt(1 - c_k) e_k: corr(y_j, y_k) = sqrt(c_j c_k)
awk 'BEGIN { srand(3); split("0.64 0.25 0.49 0.36", c, " ") }
     function g() { return sqrt(-2 * log(1 - rand())) * cos(6.283185307179586 * rand()) }
     NR == 1 { print "#IID\ty1\ty2\ty3\ty4"; next }
     { f = g(); printf "%s", $1
       for (k = 1; k <= 4; k++) printf "\t%.6f", sqrt(c[k]) * f + sqrt(1 - c[k]) * g()
       print "" }' g.psam > pheno.txt
plink2 --pfile g --pheno pheno.txt --no-psam-pheno --glm allow-no-covars cols=+a1freq \
  --out assoc >/dev/null

mkdir -p "$out"
cp assoc.y1.glm.linear "$out/y1.glm.linear"

# PLINK 2 columns: CHROM POS ID REF ALT A1 A1_FREQ TEST OBS_CT BETA SE T_STAT P ERRCODE
awk 'BEGIN { OFS = " "; print "CHROM GENPOS ID ALLELE0 ALLELE1 A1FREQ N TEST BETA SE CHISQ LOG10P EXTRA" }
     NR == 1 || (NR - 1) % 40 == 0 { next }
     { other = ($6 == $4) ? $5 : $4; chrom = ($1 == "X") ? 23 : $1
       if ($13 == "NA") { log10p = "NA"; chisq = "NA" }
       else { log10p = sprintf("%.6g", -log($13) / log(10)); chisq = sprintf("%.6g", $12 * $12) }
       print chrom, $2, $3, other, $6, $7, $9, "ADD", $10, $11, chisq, log10p, "NA" }' \
  assoc.y2.glm.linear | gzip -n > "$out/y2.regenie.gz"

awk 'BEGIN { OFS = "\t"; print "CHR\tPOS\tMarkerID\tAllele1\tAllele2\tAC_Allele2\tAF_Allele2\tMissingRate\tBETA\tSE\tTstat\tvar\tp.value\tp.value.NA\tIs.SPA.converge\tvarT\tvarTstar" }
     NR == 1 { next }
     { other = ($6 == $4) ? $5 : $4
       print "chr" $1, $2, $3, other, $6, int($7 * 2 * $9 + 0.5), $7, 0, $10, $11, $12, "NA", $13, $13, 1, "NA", "NA" }' \
  assoc.y3.glm.linear | bgzip -c > "$out/y3.saige.txt.bgz"

awk 'BEGIN { OFS = "\t"; print "chromosome\tbase_pair_location\teffect_allele\tother_allele\tbeta\tstandard_error\teffect_allele_frequency\tp_value\tvariant_id\trsid" }
     NR == 1 { next }
     { other = ($6 == $4) ? $5 : $4; chrom = ($1 == "X") ? 23 : $1
       eff = $6; beta = $10; freq = $7
       if (NR % 2 == 0) { eff = other; other = $6; beta = (beta == "NA") ? beta : -beta; freq = 1 - freq }
       p = ($13 == "NA") ? "#NA" : $13; if (beta == "NA") beta = "#NA"
       print chrom, $2, eff, other, beta, $11, freq, p, chrom "_" $2 "_" other "_" eff, $3 }' \
  assoc.y4.glm.linear | zstd -q -19 > "$out/y4.ssf.tsv.zst"
echo "fixtures written to $out"
