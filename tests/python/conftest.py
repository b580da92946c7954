"""The kolva program and its data generator, for the module's tests:
KOLVA_BIN and KOLVA_GEN name them, PYTHONPATH holds the built module."""
import os
import subprocess
from dataclasses import dataclass

import numpy as np
import pytest

MISSING = -9.0


def run_kolva(folder, pvals_lines, n, corr):
    """Writes a run folder (lower-triangle corr, one variant a line) and runs
    kolva there; returns its result records."""
    with open(os.path.join(folder, "defdims"), "w") as f:
        f.write(f"{n} {pvals_lines}\nlower\npvals.txt\ncorr.txt\nresults.txt\n")
    with open(os.path.join(folder, "corr.txt"), "w") as f:
        f.writelines(" ".join(repr(corr[i, j]) for j in range(i + 1)) + "\n" for i in range(n))
    subprocess.run([os.environ["KOLVA_BIN"], "--threads", "1"], cwd=folder,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(os.path.join(folder, "results.txt"), newline="") as f:
        return f.read().splitlines()


def combined(record):
    """The combined p-value field of a result record; None where there is none."""
    return record[45:65] if len(record) > 60 else None


def field(x):
    """A combined p-value as the result record prints it (15 digits); None
    for NaN."""
    if np.isnan(x):
        return None
    mant, exp = f"{x:.14e}".split("e")
    e = int(exp) + 1 if x != 0 else 0
    return "." + mant.replace(".", "") + (f"E{e:+03d}" if abs(e) <= 99 else f"{e:+04d}")


@dataclass
class Study:
    path: str            # its pvals.txt
    corr: np.ndarray     # n x n
    p: np.ndarray        # variants x n, -9 missing
    chrom: list          # fields as written
    ident: list
    records: list        # the program's result records


def _value(word):
    return MISSING if word == "NA" else float(word)


def make_study(folder, n, variants, as_float):
    """kolva_gen's study, every p-value rounded to float32 when as_float (and
    written so that the program reads that value), run through kolva."""
    subprocess.run([os.environ["KOLVA_GEN"], folder, f"phenotypes={n}", f"variants={variants}",
                    "seed=11", "missing=0.03", "signals=0.01"], check=True,
                   stdout=subprocess.DEVNULL)
    with open(os.path.join(folder, "corr.txt")) as f:
        low = [_value(w) for w in f.read().split()]
    corr = np.zeros((n, n))
    corr[np.tril_indices(n)] = low
    corr += np.tril(corr, -1).T
    path = os.path.join(folder, "pvals.txt")
    with open(path) as f:
        rows = [line.split() for line in f]
    p = np.array([[_value(w) for w in r[2:]] for r in rows])
    if as_float:
        p = np.where(p == MISSING, p, p.astype(np.float32).astype(np.float64))
        with open(path, "w") as f:
            f.writelines(" ".join(r[:2] + [repr(x) for x in v]) + "\n" for r, v in zip(rows, p))
    records = run_kolva(folder, variants, n, corr)
    return Study(path, corr, p, [r[0] for r in rows], [r[1] for r in rows], records)


@pytest.fixture(scope="session")
def study(tmp_path_factory):
    made = {}

    def get(n, variants, as_float=False):
        if (n, as_float) not in made:
            made[n, as_float] = make_study(str(tmp_path_factory.mktemp(f"p{n}")), n, variants,
                                           as_float)
        return made[n, as_float]
    return get
