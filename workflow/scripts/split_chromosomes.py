"""Splits a kolva run directory into one run directory per chromosome.

Each gets the lines of pvals.txt whose first field is that chromosome, in
their order, the same correlation file and a defdims with its own count;
a chromosome without lines gets a run of no variants. kolva-prep writes
the chromosomes in the order of the rule's list, so the per-chromosome
result files joined in that order are the unsplit run's result file.

The lines are streamed to their files as they are read: memory stays
small however long pvals.txt is.
"""
import os
import shutil

with open(snakemake.input.defdims) as f:
    control = f.read().split("\n")
nvara = control[0].split()[0]

chromosomes = [os.path.basename(os.path.dirname(p)) for p in snakemake.output]
dirs = {c: os.path.dirname(p) for c, p in zip(chromosomes, snakemake.output)}
counts = dict.fromkeys(chromosomes, 0)
outs = {}
try:
    for c, d in dirs.items():
        os.makedirs(d, exist_ok=True)
        outs[c] = open(os.path.join(d, "pvals.txt"), "wb", buffering=1 << 20)
    chrom, out, n = None, None, 0
    with open(snakemake.input.pvals, "rb", buffering=1 << 20) as f:
        for line_no, line in enumerate(f, 1):
            c = line.split(b" ", 1)[0]
            if c != chrom:  # inputs come grouped by chromosome: this is rare
                if out is not None:
                    counts[chrom.decode()] += n
                chrom, n = c, 0
                out = outs.get(c.decode("utf-8", "replace"))
                if out is None:
                    raise SystemExit(f"split_chromosomes: {snakemake.input.pvals}:{line_no}: "
                                     f"chromosome '{c.decode('utf-8', 'replace')}' is not among "
                                     f"{' '.join(chromosomes)}")
            out.write(line)
            n += 1
    if out is not None:
        counts[chrom.decode()] += n
finally:
    for o in outs.values():
        o.close()

for out, chrom in zip(snakemake.output, chromosomes):
    shutil.copyfile(snakemake.input.corr, os.path.join(dirs[chrom], "corr.txt"))
    with open(out, "w") as f:
        f.write("\n".join([f"{nvara} {counts[chrom]}"] + control[1:]))
