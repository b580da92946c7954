"""One pass over the run's p-value file, read by the engine as kolva reads
it, beside what the result file gave. Kept per variant: the best
single-trait p (for novelty and the Miami plot). Kept per trait: a
histogram of its p-values (for its lambda GC). Kept for chosen variants
only: the whole row of every significant variant, the per-trait p of the
variants in the regional plots, the present/missing pattern of the
variants drawn for the null, and the whole row of every variant with a
single-trait p below the threshold (for the loci's associated traits and
the count of p = 0, which is below any threshold). Each line is checked
against its record: the same chromosome and id as kolva keeps them, the
same number of present p-values."""
from dataclasses import dataclass, field
from typing import List, Tuple

import numpy as np

from . import engine
from .formats import FormatError, where

HIST_BINS = 1 << 16  # per trait, over [0, 1]


def record_keys(chrom: np.ndarray, ident: np.ndarray) -> np.ndarray:
    """A 64-bit digest of each (chromosome, id) pair as kolva keeps them (blank-padded
    bytes), to tell a line of another run from its record without keeping the text."""
    b = np.concatenate((chrom, ident), axis=1)
    b = np.pad(b, ((0, 0), (0, -b.shape[1] % 8)))
    words = np.ascontiguousarray(b).view(np.uint64)
    h = np.full(len(b), 0xcbf29ce484222325, np.uint64)
    for k in range(words.shape[1]):
        h = (h ^ words[:, k]) * np.uint64(0x100000001b3)
        h ^= h >> np.uint64(29)
    return h


@dataclass
class Wanted:
    """What the pass keeps rows of, each a sorted array of record numbers."""
    significant: np.ndarray
    regional: np.ndarray
    drawn: np.ndarray
    below: float = float("-inf")  # and every record with a single-trait p below this


@dataclass
class Traits:
    best: np.ndarray      # best single-trait p of every record, NaN where none present
    hist: np.ndarray      # (n, HIST_BINS) counts of each trait's p-values
    sig_rows: np.ndarray  # (len(significant), n) float64
    reg_rows: np.ndarray  # (len(regional), n) float64
    patterns: np.ndarray  # (len(drawn), n) bool, present
    hits: np.ndarray = field(default_factory=lambda: np.zeros(0, np.int64))  # record numbers
    hit_rows: np.ndarray = field(default_factory=lambda: np.zeros((0, 0)))  # (len(hits), n)


def _take(chunk_first: int, length: int, wanted: np.ndarray) -> Tuple[slice, np.ndarray]:
    """The wanted record numbers within the chunk: their places in `wanted`
    and their rows within the chunk."""
    lo, hi = np.searchsorted(wanted, [chunk_first, chunk_first + length])
    return slice(lo, hi), wanted[lo:hi] - chunk_first


def read(folder: str, path: str, results: str, n: int, keys: np.ndarray,
         present: np.ndarray, wanted: Wanted) -> Traits:
    """The pass over the p-value file `path` of the run in `folder`."""
    records = len(keys)
    out = Traits(np.full(records, np.nan), np.zeros((n, HIST_BINS), np.int64),
                 np.empty((len(wanted.significant), n)),
                 np.empty((len(wanted.regional), n)),
                 np.empty((len(wanted.drawn), n), bool))
    offsets = (np.arange(n) * HIST_BINS)[None, :]
    lines = 0
    hits: List[np.ndarray] = []
    hit_rows: List[np.ndarray] = []
    try:
        for c in engine.read_pvals(folder):
            at = slice(c.first, c.first + len(c))
            seen = ~np.isnan(c.p)
            bad = (record_keys(c.chrom, c.ident) != keys[at]) | (seen.sum(1) != present[at])
            if bad.any():
                i = int(np.argmax(bad))
                text = (c.chrom[i].tobytes() + b" " + c.ident[i].tobytes()).decode("latin-1")
                raise FormatError(path, c.first + i + 1,
                                  f"variant {' '.join(text.split())} with {seen[i].sum()} "
                                  f"p-values present is not the record at "
                                  f"{where(results, c.first + i + 1)}: the p-value file of "
                                  "another run?")
            best = out.best[at] = np.fmin.reduce(c.p, axis=1)
            hit = np.flatnonzero(best < wanted.below)
            hits.append(hit + c.first)
            hit_rows.append(c.p[hit])
            bins = (np.clip(np.where(seen, c.p, 0), 0, 1) * HIST_BINS).astype(np.int64)
            bins = np.minimum(bins, HIST_BINS - 1) + offsets
            out.hist += np.bincount(bins[seen], minlength=n * HIST_BINS).reshape(n, HIST_BINS)
            for rows, dest, cast in ((wanted.significant, out.sig_rows, None),
                                     (wanted.regional, out.reg_rows, None),
                                     (wanted.drawn, out.patterns, seen)):
                places, within = _take(c.first, len(c), rows)
                dest[places] = (c.p if cast is None else cast)[within]
            lines = c.first + len(c)
    except ValueError as e:  # a line kolva stops at: the engine's FILE:LINE: what
        raise FormatError.of(str(e), path, lines + 1) from e
    if hits:
        out.hits, out.hit_rows = np.concatenate(hits), np.concatenate(hit_rows)
    else:
        out.hit_rows = np.zeros((0, n))
    return out
