#!/usr/bin/python3
"""python_combine: the Python side of bench/python.sh.

    python_combine.py DIR THREADS REPEATS [FORM]

Reads a kolva run folder (defdims, corr.txt in the lower layout, pvals.txt
through kolva.read_pvals), hands the p-values over in FORM (c: float64 in C
order, the default; fortran; float32; frame: a pandas DataFrame), then times
kolva.combine over every variant on THREADS threads, REPEATS times (0: the
read alone), and
prints each one's wall time and CPU time (all threads) in seconds, one a
line. Then "read SECONDS LINES" (the read of pvals.txt), "peak MB MB" (how
far the resident memory rose above where it stood before a combine, at
most, and the size of the p-value matrix) and "check SUM" (the combined
values added up in order, as bench/library_combine does).
"""
import os
import sys
import time

import numpy as np

import kolva


def status_kb(key):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    raise KeyError(key)


def main(folder, threads, repeats, form="c"):
    with open(os.path.join(folder, "defdims")) as f:
        n = int(f.read().split()[0])
    with open(os.path.join(folder, "corr.txt")) as f:
        words = f.read().split()
    corr = np.zeros((n, n))
    corr[np.tril_indices(n)] = [np.nan if w == "NA" else float(w) for w in words[:n * (n + 1) // 2]]
    corr += np.tril(corr, -1).T

    t0 = time.perf_counter()
    p = np.concatenate([c.p for c in kolva.read_pvals(os.path.join(folder, "pvals.txt"), n)])
    read = time.perf_counter() - t0
    if repeats == 0:
        print(f"read {read:.4f} {len(p)}")
        return
    if form == "fortran":
        p = np.asfortranarray(p)
    elif form == "float32":
        p = p.astype(np.float32)
    elif form == "frame":
        import pandas
        p = pandas.DataFrame(p)

    peak = 0
    for _ in range(repeats):
        # The peak resident memory starts again from the present (Linux).
        with open("/proc/self/clear_refs", "w") as f:
            f.write("5")
        rss = status_kb("VmRSS")
        c0, w0 = time.process_time(), time.perf_counter()
        out = kolva.combine(p, corr, threads=threads)
        w1, c1 = time.perf_counter(), time.process_time()
        peak = max(peak, status_kb("VmHWM") - rss)
        print(f"{w1 - w0:.4f} {c1 - c0:.4f}")
        del out
    out = kolva.combine(p, corr, threads=threads)
    print(f"read {read:.4f} {len(out)}")
    print(f"peak {peak / 1024:.1f} {np.asarray(p).nbytes / 2**20:.1f}")
    print(f"check {sum(out[~np.isnan(out)].tolist()):.17g}")


if __name__ == "__main__":
    if len(sys.argv) not in (4, 5):
        sys.exit("usage: python_combine.py DIR THREADS REPEATS [c|fortran|float32|frame]")
    main(sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), *sys.argv[4:])
