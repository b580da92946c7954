"""Counts, genomic inflation and top hits, gathered chunk by chunk, and what
the run analysis needs of every record afterwards."""
from dataclasses import dataclass
from typing import Any, Callable, Dict, List, Optional, Tuple

import numpy as np
from scipy import stats

from .records import ABOVE_ONE, NONFINITE, NUMBER, STARS, UNTESTED, Records
from .traitpass import record_keys

TOP = 20
# Median of the chi-square distribution with one degree of freedom.
CHI2_MEDIAN = stats.chi2.ppf(0.5, 1)
# (chrom, pos, id, allele1, allele2) of record i of a chunk.
RowOf = Callable[[int], Tuple[str, int, str, str, str]]


def lambda_gc(sorted_p: np.ndarray) -> Optional[float]:
    """Median of the chi-square(1) quantiles of the p-values over that of
    chi-square(1). The quantile falls as p grows, so the median quantile is
    that of the middle p-value (the mean of the two middle ones' quantiles
    for an even count): two evaluations instead of millions."""
    n = len(sorted_p)
    if n == 0:
        return None
    middle = sorted_p[[(n - 1) // 2, n // 2]]
    return float(np.mean(stats.chi2.isf(middle, 1)) / CHI2_MEDIAN)


@dataclass
class PerRecord:
    """Every record, in file order."""
    p: np.ndarray      # combined p, NaN where the record holds no usable one
    codes: np.ndarray  # chromosome codes
    pos: np.ndarray
    n: np.ndarray      # present p-values
    keys: np.ndarray   # digest of chromosome and id as kolva keeps them


class Accumulator:
    def __init__(self, threshold: float = 5e-8) -> None:
        self.counts = dict.fromkeys(("variants", "tested", "fewer_than_two_present",
                                     "p_asterisks", "p_not_a_number", "p_above_1"), 0)
        self.threshold = threshold
        self.parts: Dict[str, List[np.ndarray]] = {k: [] for k in PerRecord.__annotations__}
        self.top: List[Tuple[float, int, Dict]] = []  # (p, record number, row dict)
        self.significant: Dict[int, Dict] = {}  # record number: row dict
        self.records: Optional[PerRecord] = None

    @staticmethod
    def _row(rec: Records, i: int, row: RowOf) -> Dict:
        chrom, position, ident, a1, a2 = row(i)
        return {"chrom": chrom, "pos": int(position), "id": ident, "allele1": a1, "allele2": a2,
                "n_present": int(rec.n[i]), "p": float(rec.p[i]),
                "p_text": bytes(rec.ptext[i, :rec.plen[i]]).decode()}

    def add(self, rec: Records, codes: np.ndarray, pos: np.ndarray, row: RowOf) -> None:
        """A chunk of records with their chromosome codes and positions."""
        kind = rec.kind
        c = self.counts
        c["variants"] += len(rec)
        for key, k in (("tested", NUMBER), ("fewer_than_two_present", UNTESTED),
                       ("p_asterisks", STARS), ("p_not_a_number", NONFINITE),
                       ("p_above_1", ABOVE_ONE)):
            c[key] += int(np.count_nonzero(kind == k))
        usable = np.where(kind == NUMBER, rec.p, np.nan)
        for name, part in (("p", usable), ("codes", codes.astype(np.int32)), ("pos", pos),
                           ("n", rec.n.astype(np.int8)),
                           ("keys", record_keys(rec.chrom, rec.ident))):
            self.parts[name].append(part)
        with np.errstate(invalid="ignore"):
            for i in np.flatnonzero(usable < self.threshold):
                self.significant[rec.first + int(i)] = self._row(rec, int(i), row)
        tested = np.flatnonzero(kind == NUMBER)
        p = rec.p[tested]
        if len(p) > TOP:  # every value up to the TOP-th smallest, ties included
            keep = p <= np.partition(p, TOP - 1)[TOP - 1]
            tested, p = tested[keep], p[keep]
        first = np.lexsort((tested, p))[:TOP]
        for i in tested[first]:
            self.top.append((float(rec.p[i]), rec.first + int(i), self._row(rec, int(i), row)))
        self.top = sorted(self.top, key=lambda t: t[:2])[:TOP]

    def finish(self) -> Tuple[Dict, np.ndarray, np.ndarray, np.ndarray, np.ndarray]:
        """The summary, and the tested p-values sorted and in record order with
        their chromosome codes and positions. Every record's values are in
        self.records afterwards."""
        empty = {"p": np.float64, "codes": np.int32, "pos": np.int64, "n": np.int8,
                 "keys": np.uint64}
        whole = {}
        for k in list(self.parts):  # one array at a time: its chunks go as it is made
            v = self.parts.pop(k)
            whole[k] = np.concatenate(v) if v else np.zeros(0, empty[k])
            del v
        self.records = PerRecord(**whole)
        tested = ~np.isnan(self.records.p)
        r = self.records
        # the tested records; the arrays themselves (no copies) when all are
        p, codes, pos = (r.p, r.codes, r.pos) if tested.all() else \
            (r.p[tested], r.codes[tested], r.pos[tested])
        sorted_p = np.sort(p)
        summary: Dict[str, Any] = dict(self.counts)
        summary.update({
            "lambda_gc": lambda_gc(sorted_p),
            "below_5e-8": int(np.count_nonzero(p < 5e-8)),
            "below_1e-5": int(np.count_nonzero(p < 1e-5)),
            "smallest_p": float(sorted_p[0]) if len(p) else None,
            "top": [{k: t[2][k] for k in ("chrom", "pos", "id", "n_present", "p", "p_text")}
                    for t in self.top],
        })
        return summary, sorted_p, p, codes, pos
