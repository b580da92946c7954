"""Counts, genomic inflation and top hits, gathered chunk by chunk."""
import numpy as np
from scipy import stats

from .records import ABOVE_ONE, NONFINITE, NUMBER, STARS, UNTESTED

TOP = 20
# Median of the chi-square distribution with one degree of freedom.
CHI2_MEDIAN = stats.chi2.ppf(0.5, 1)


def lambda_gc(sorted_p):
    """Median of the chi-square(1) quantiles of the p-values over that of
    chi-square(1). The quantile falls as p grows, so the median quantile is
    that of the middle p-value (the mean of the two middle ones' quantiles
    for an even count): two evaluations instead of millions."""
    n = len(sorted_p)
    if n == 0:
        return None
    middle = sorted_p[[(n - 1) // 2, n // 2]]
    return float(np.mean(stats.chi2.isf(middle, 1)) / CHI2_MEDIAN)


class Accumulator:
    def __init__(self):
        self.counts = dict.fromkeys(("variants", "tested", "fewer_than_two_present",
                                     "p_asterisks", "p_not_a_number", "p_above_1"), 0)
        self.p, self.codes, self.pos = [], [], []
        self.top = []  # (p, record number, row dict)

    def add(self, rec, codes, pos, row):
        """A chunk of records with their chromosome codes and positions; row(i)
        gives (chrom, pos, id) of record i of the chunk."""
        kind = rec.kind
        c = self.counts
        c["variants"] += len(rec)
        for key, k in (("tested", NUMBER), ("fewer_than_two_present", UNTESTED),
                       ("p_asterisks", STARS), ("p_not_a_number", NONFINITE),
                       ("p_above_1", ABOVE_ONE)):
            c[key] += int(np.count_nonzero(kind == k))
        tested = np.flatnonzero(kind == NUMBER)
        p = rec.p[tested]
        self.p.append(p)
        self.codes.append(codes[tested].astype(np.int16 if codes.max(initial=0) < 2**15
                                                else np.int32))
        self.pos.append(pos[tested])
        if len(p) > TOP:  # every value up to the TOP-th smallest, ties included
            keep = p <= np.partition(p, TOP - 1)[TOP - 1]
            tested, p = tested[keep], p[keep]
        first = np.lexsort((tested, p))[:TOP]
        tested, p = tested[first], p[first]
        for i, v in zip(tested, p):
            chrom, position, ident = row(i)
            self.top.append((float(v), rec.first + int(i), {
                "chrom": chrom, "pos": int(position), "id": ident, "n_present": int(rec.n[i]),
                "p": float(v), "p_text": bytes(rec.ptext[i, :rec.plen[i]]).decode()}))
        self.top = sorted(self.top, key=lambda t: t[:2])[:TOP]

    def finish(self):
        """The summary, and the tested p-values sorted and in record order with
        their chromosome codes and positions."""
        p = np.concatenate(self.p) if self.p else np.zeros(0)
        codes = np.concatenate(self.codes) if self.codes else np.zeros(0, np.int16)
        pos = np.concatenate(self.pos) if self.pos else np.zeros(0, np.int64)
        self.p = self.codes = self.pos = None
        sorted_p = np.sort(p)
        summary = dict(self.counts)
        summary.update({
            "lambda_gc": lambda_gc(sorted_p),
            "below_5e-8": int(np.count_nonzero(p < 5e-8)),
            "below_1e-5": int(np.count_nonzero(p < 1e-5)),
            "smallest_p": float(sorted_p[0]) if len(p) else None,
            "top": [t[2] for t in self.top],
        })
        return summary, sorted_p, p, codes, pos
