import os
import sys

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), os.pardir, os.pardir))
sys.path.insert(0, os.path.join(SOURCE, "src", "report"))


def pytest_configure(config):
    # numpy's warnings (divide by zero, invalid value) are faults of the report
    config.addinivalue_line("filterwarnings", "error::RuntimeWarning")


def record(chrom, ident, n, pfield):
    """A result record as Kolva writes it, without its line end."""
    return f"  {chrom:<4} {ident:<33} {n:3d} {pfield}"


def read_records(folder, lines):
    """The records of these lines (a result file of them written in folder),
    read back as one chunk."""
    from kolva_report import records
    path = os.path.join(folder, "r.txt")
    with open(path, "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")
    return next(records.read(path))


KOLVA = os.environ.get("KOLVA_BIN", os.path.join(SOURCE, "build", "kolva"))


def simulated_run(folder, corr, variants, seed, scale=1.0, names=None, missing=0.0):
    """A run folder of a null study made with kolva: z ~ MVN(0, corr) times
    scale, two-sided p, `missing` of the values NA; map positions 1,000
    apart on chromosomes 1 and 2. Returns the folder."""
    import subprocess

    import numpy as np
    from scipy import stats

    rng = np.random.default_rng(seed)
    n = len(corr)
    z = rng.multivariate_normal(np.zeros(n), corr, variants, method="eigh") * scale
    p = 2 * stats.norm.sf(np.abs(z))
    text = np.char.mod("%.6g", p)
    text[rng.random(p.shape) < missing] = "NA"
    chrom = np.where(np.arange(variants) < variants // 2, "1", "2")
    ids = np.char.add("rs", np.arange(1, variants + 1).astype(str))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "pvals.txt"), "w") as f:
        for c, i, row in zip(chrom, ids, text):
            f.write(f"{c} {i} {' '.join(row)}\n")
    with open(os.path.join(folder, "corr.txt"), "w") as f:
        for i in range(n):
            f.write(" ".join(f"{v:.6g}" for v in corr[i, :i + 1]) + "\n")
    with open(os.path.join(folder, "defdims"), "w") as f:
        f.write(f"{n} {variants}\nlower\npvals.txt\ncorr.txt\nresults.txt\n")
    if names:
        with open(os.path.join(folder, "phenotypes.txt"), "w") as f:
            f.write("".join(f"{name}\n" for name in names))
    subprocess.run([KOLVA], cwd=folder, check=True, capture_output=True)
    import gzip
    present = (text != "NA").sum(1)
    with gzip.open(os.path.join(folder, "variants.tsv.gz"), "wt") as f:
        f.write("chrom\tpos\tid\tallele1\tallele2\tn_present\n")
        for k, (c, i, m) in enumerate(zip(chrom, ids, present)):
            f.write(f"{c}\t{1000 * (k + 1)}\t{i}\tA\tG\t{m}\n")
    return folder


def two_groups(n, within, between):
    """A correlation matrix of two equal groups of traits."""
    import numpy as np
    group = np.arange(n) < n // 2
    r = np.where(group[:, None] == group[None, :], within, between)
    np.fill_diagonal(r, 1)
    return r
