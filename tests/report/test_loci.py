"""Loci, novelty and carrying traits, as defined in docs/report.md, on
hand-built maps and hand-worked cases."""
import numpy as np
import pytest
from kolva_report import loci

T, W = 1e-6, 100  # threshold and window of these tables
NA = np.nan

# (chrom, pos, p) per record; expected loci as (lead record, start, end, members)
CASES = {
    "single variant": ([(1, 500, 1e-9)], [(0, 500, 500, 1)]),
    "none significant, untested skipped": ([(1, 1, 1e-3), (1, 2, NA), (1, 3, T)], []),
    "equal p: the earlier record leads": (
        [(1, 1000, 1e-9), (1, 1050, 1e-9), (1, 5000, 1e-9)],
        [(0, 1000, 1050, 2), (2, 5000, 5000, 1)]),
    "window edge inclusive, beyond it apart": (
        [(1, 1000, 1e-12), (1, 1100, 1e-8), (1, 1101, 1e-8), (1, 900, 1e-7)],
        [(0, 900, 1100, 3), (2, 1101, 1101, 1)]),
    "overlapping windows: a member's neighbour leads its own locus": (
        [(1, 1000, 1e-10), (1, 1090, 1e-9), (1, 1180, 1e-8)],
        [(0, 1000, 1090, 2), (2, 1180, 1180, 1)]),
    "a weaker lead does not take a stronger locus' members": (
        [(1, 1000, 1e-8), (1, 1080, 1e-12), (1, 1160, 1e-9)],
        [(1, 1000, 1160, 3)]),
    "chromosome ends and other chromosomes": (
        [(1, 1, 1e-9), (2, 1, 1e-10), (1, 60, 1e-8), (2, 10**9, 1e-9)],
        [(1, 1, 1, 1), (0, 1, 60, 2), (3, 10**9, 10**9, 1)]),
}


@pytest.mark.parametrize("records, expected", CASES.values(), ids=CASES.keys())
def test_loci(records, expected):
    chrom, pos, p = (np.array(c) for c in zip(*records))
    got = loci.find(p.astype(float), chrom, pos.astype(np.int64), T, W)
    assert [(lc.lead, lc.start, lc.end, lc.members) for lc in got] == expected


# One locus on chromosome 1 at [1000, 1100]; M_study = 4, so a single trait
# counts from T / 4. (chrom, pos, best single p) -> novel?
NOVEL = [
    ([(1, 1050, 3e-7)], True),              # the lead itself, above T / 4
    ([(1, 1050, 2.4e-7)], False),           # the lead itself, below
    ([(1, 899, 1e-9)], True),               # just outside start - window
    ([(1, 900, 1e-9)], False),              # at start - window
    ([(1, 1200, 1e-9)], False),             # at end + window
    ([(2, 1050, 1e-12), (1, 1201, 1e-12)], True),  # another chromosome; past the window
    ([(1, 1000, NA)], True),                # no trait present
]


@pytest.mark.parametrize("records, novel", NOVEL)
def test_novelty(records, novel):
    chrom, pos, best = (np.array(c) for c in zip(*records))
    locus = loci.Locus(0, 1, 1000, 1100, 2)
    loci.mark_novel([locus], best.astype(float), chrom, pos, T, W, 4.0)
    assert locus.novel is novel


# Carrying traits worked by hand. With phenotype correlation 0 the converted
# correlation is c = f(0) = -0.00076092779636383: two traits have M = 2 + c
# = 1.99924; three have M = 3 + 2c = 2.99848 and M(2) = 2 + c, so
# (M / M(2)) = 1.49981. With r = 0.5, f = 0.16517170 and M = 1.83483.
# (r, p per column) -> the carrying columns, strongest first.
CARRYING = [
    (0.0, [0.01, 0.04], [0]),          # 1.99924 * 0.01 < 0.04
    (0.0, [0.04, 0.01], [1]),          # the same, columns swapped
    (0.0, [0.03, 0.04], [0, 1]),       # 0.05998 > 0.04: both
    (0.0, [0.025, 0.048], [0, 1]),     # 0.04998 > 0.048
    (0.5, [0.025, 0.048], [0]),        # 1.83483 * 0.025 = 0.04587 < 0.048
    (0.0, [0.02, 0.001, 0.01], [1]),   # 2.99848 * 0.001 is the least
    (0.0, [0.013, 0.01, 0.012], [1, 2, 0]),  # j = 3: 0.013 < 0.029985, 0.017998
    (0.0, [0.5, 0.011, 0.01], [2, 1]),  # j = 2: 1.49981 * 0.011 = 0.016498
    (0.0, [0.02, np.nan, 0.001], [2]),  # two present: 1.99924 * 0.001
]


@pytest.mark.parametrize("r, p, expected", CARRYING)
def test_carrying_traits_from_the_engine(r, p, expected):
    pytest.importorskip("kolva")
    from kolva_report import engine
    n = len(p)
    corr = np.full((n, n), r) + np.eye(n) * (1 - r)
    d = engine.combine_details(np.array([p]), corr)
    assert loci.carrying(d.j, d.order) == [expected]


# Associated traits of one locus on chromosome 1 at [1000, 1100] (window W,
# threshold T): per record (chrom, pos, p of traits 0-2) -> (trait, smallest p).
ASSOCIATED = {
    "window edges: start - W and end + W in, one base beyond out": (
        [(1, 900, [1e-9, NA, NA]), (1, 899, [NA, 1e-12, NA]), (1, 1200, [NA, NA, 1e-8]),
         (1, 1201, [NA, 1e-12, NA])], [(0, 1e-9), (2, 1e-8)]),
    "at the threshold is not below it; another chromosome is not near": (
        [(1, 1000, [T, 2e-7, NA]), (2, 1000, [1e-20, NA, 1e-20])], [(1, 2e-7)]),
    "strongest first, each by its smallest p over the window": (
        [(1, 1000, [5e-7, 1e-8, 0.5]), (1, 1050, [1e-10, 0.3, 9e-7])],
        [(0, 1e-10), (1, 1e-8), (2, 9e-7)]),
    "equal smallest p: column order": (
        [(1, 1000, [3e-8, 3e-8, NA]), (1, 1100, [NA, NA, 3e-8])],
        [(0, 3e-8), (1, 3e-8), (2, 3e-8)]),
    "a trait missing at the lead counts from its neighbours": (
        [(1, 1000, [1e-9, NA, NA]), (1, 1090, [0.2, 4e-7, NA])], [(0, 1e-9), (1, 4e-7)]),
    "p = 0 is the smallest, ties at 0 in column order": (
        [(1, 1000, [1e-300, 0.0, NA]), (1, 1010, [NA, 0.5, 0.0])],
        [(1, 0.0), (2, 0.0), (0, 1e-300)]),
    "no record near": ([(1, 5000, [1e-9, 1e-9, 1e-9])], []),
}


@pytest.mark.parametrize("records, expected", ASSOCIATED.values(), ids=ASSOCIATED.keys())
def test_associated_traits(records, expected):
    chrom, pos, rows = (np.array(c) for c in zip(*records))
    locus = loci.Locus(0, 1, 1000, 1100, 1)
    loci.associate([locus], chrom, pos.astype(np.int64), rows.astype(float), T, W)
    assert locus.associated == expected
