"""Splits a kolva run directory into one run directory per chromosome.

Each gets the lines of pvals.txt whose first field is that chromosome, in
their order, the same correlation file and a defdims with its own count;
a chromosome without lines gets a run of no variants. kolva-prep writes
the chromosomes in the order of the rule's list, so the per-chromosome
result files joined in that order are the unsplit run's result file.
"""
import os
import shutil

run = os.path.dirname(snakemake.input.defdims)
with open(snakemake.input.defdims) as f:
    control = f.read().split("\n")
nvara = control[0].split()[0]

chromosomes = [os.path.basename(os.path.dirname(p)) for p in snakemake.output]
lines = {c: [] for c in chromosomes}
with open(snakemake.input.pvals, "rb") as f:
    for line in f:
        chrom = line.split(b" ", 1)[0].decode()
        if chrom not in lines:
            raise SystemExit(f"split_chromosomes: {snakemake.input.pvals}: chromosome '{chrom}' "
                             f"is not among {' '.join(chromosomes)}")
        lines[chrom].append(line)

for out, chrom in zip(snakemake.output, chromosomes):
    d = os.path.dirname(out)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "pvals.txt"), "wb") as f:
        f.writelines(lines[chrom])
    shutil.copyfile(snakemake.input.corr, os.path.join(d, "corr.txt"))
    with open(out, "w") as f:
        f.write("\n".join([f"{nvara} {len(lines[chrom])}"] + control[1:]))
