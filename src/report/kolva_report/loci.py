"""Loci, their carrying traits and their novelty, exactly as defined in
docs/report.md:

- significant: combined p < threshold;
- loci, greedily from the smallest p (equal p: the earlier record first): a
  lead takes every significant variant not yet in a locus on its chromosome
  within +/- window of it (|pos - lead pos| <= window); the locus spans its
  members' smallest to largest position;
- carrying traits of a lead: the phenotypes ranked first j in its p-value
  order, j attaining the minimum of (M / M(j)) p(j), both from the engine;
- associated traits: every phenotype whose own p is below threshold at some
  variant in [start - window, end + window] on the chromosome, by their
  smallest p there (equal p: column order); p = 0 is the smallest of all;
- novel: no variant in [start - window, end + window] on the chromosome has
  a single-trait p below threshold / M_study.
"""
from dataclasses import dataclass, field
from typing import List, Sequence, Tuple

import numpy as np


@dataclass
class Locus:
    lead: int             # record number of the lead
    chrom: int            # chromosome code
    start: int
    end: int
    members: int          # significant variants in the locus, the lead included
    carrying: List[int] = field(default_factory=list)  # phenotype columns
    novel: bool = False
    # (phenotype column, its smallest p in the window), strongest first
    associated: List[Tuple[int, float]] = field(default_factory=list)


def find(p: np.ndarray, chrom: np.ndarray, pos: np.ndarray, threshold: float,
         window: int) -> List[Locus]:
    """Loci of the significant records, strongest first; p is NaN where untested."""
    with np.errstate(invalid="ignore"):
        sig = np.flatnonzero(p < threshold)
    sig = sig[np.lexsort((sig, p[sig]))]
    taken = np.zeros(len(sig), bool)
    # Per chromosome, the significant records by position, to find a
    # lead's neighbours by bisection.
    by_chrom = {}
    for c in np.unique(chrom[sig]):
        mine = np.flatnonzero(chrom[sig] == c)
        mine = mine[np.argsort(pos[sig[mine]], kind="stable")]
        by_chrom[int(c)] = (mine, pos[sig[mine]])
    loci = []
    for k, lead in enumerate(sig):
        if taken[k]:
            continue
        c = int(chrom[lead])
        mine, at = by_chrom[c]
        lo, hi = int(np.searchsorted(at, pos[lead] - window, side="left")), \
            int(np.searchsorted(at, pos[lead] + window, side="right"))
        near = mine[lo:hi]
        near = near[~taken[near]]
        taken[near] = True
        where = pos[sig[near]]
        loci.append(Locus(int(lead), c, int(where.min()), int(where.max()), len(near)))
    return loci


def carrying(j: np.ndarray, order: np.ndarray) -> List[List[int]]:
    """The carrying traits of each row of the engine's details: the columns
    ranked first j in its p-value order."""
    return [[int(c) for c in order[i, :j[i]]] for i in range(len(j))]


def mark_novel(loci: Sequence[Locus], best: np.ndarray, chrom: np.ndarray, pos: np.ndarray,
               threshold: float, window: int, m_study: float) -> None:
    """Sets each locus' novelty from the best single-trait p of every record."""
    with np.errstate(invalid="ignore"):
        single = np.flatnonzero(best < threshold / m_study)
    # by chromosome, then position: each locus' window is one bisection
    key = chrom[single].astype(np.int64), pos[single]
    order = np.lexsort((key[1], key[0]))
    c, at = key[0][order], key[1][order]
    for locus in loci:
        lo, hi = np.searchsorted(c, [locus.chrom, locus.chrom + 1])
        first = lo + np.searchsorted(at[lo:hi], locus.start - window, side="left")
        locus.novel = not (first < hi and at[first] <= locus.end + window)


def _windows(loci: Sequence[Locus], chrom: np.ndarray, pos: np.ndarray,
             window: int) -> Tuple[np.ndarray, List[Tuple[int, int]]]:
    """The records (given by chrom and pos) sorted by chromosome and position,
    and each locus' [start - window, end + window] as a slice of that order."""
    order = np.lexsort((pos, chrom))
    c, at = chrom[order].astype(np.int64), pos[order]
    spans = []
    for locus in loci:
        lo, hi = np.searchsorted(c, [locus.chrom, locus.chrom + 1])
        first = lo + np.searchsorted(at[lo:hi], locus.start - window, side="left")
        last = lo + np.searchsorted(at[lo:hi], locus.end + window, side="right")
        spans.append((int(first), int(last)))
    return order, spans


def associate(loci: Sequence[Locus], chrom: np.ndarray, pos: np.ndarray, rows: np.ndarray,
              threshold: float, window: int) -> None:
    """Sets each locus' associated traits from the single-trait p-values
    (rows, NaN where missing) of records at chrom and pos; records whose p are
    all at or above threshold may be left out."""
    order, spans = _windows(loci, chrom, pos, window)
    for locus, (first, last) in zip(loci, spans):
        if first == last:
            locus.associated = []
            continue
        low = np.fmin.reduce(rows[order[first:last]], axis=0)
        cols = np.flatnonzero(low < threshold)
        cols = cols[np.lexsort((cols, low[cols]))]
        locus.associated = [(int(k), float(low[k])) for k in cols]
