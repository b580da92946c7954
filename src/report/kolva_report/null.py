"""The method's own null: K variants drawn under no association and
pushed through the engine, against which the study's combined p-values
are read.

A draw is z ~ MVN(0, R), R the run's phenotype correlation, with the
present/missing pattern of a study variant chosen at random, and
p = 2 Phi(-|z|) per trait. numpy's seeded Generator makes both the choice
and the normals, so a report of one run is the same every time.
"""
from dataclasses import dataclass
from typing import Dict, List, Optional, Tuple

import numpy as np
from scipy import stats as sps

from . import engine

TAIL_LEVELS = (1e-3, 1e-5)
MIN_TAIL_DRAWS = 100  # draws below a level needed to take its expectation from them
CHI2_MEDIAN = float(sps.chi2.ppf(0.5, 1))


@dataclass
class Null:
    p: np.ndarray             # the draws' combined p, sorted (NaN dropped)
    draws: int
    seed: int
    clipped: Optional[float]  # the most negative eigenvalue of R set to 0, if any


def choose(tested: np.ndarray, draws: int, rng: np.random.Generator) -> np.ndarray:
    """Record numbers of the study variants whose patterns the draws take
    (with replacement), in draw order."""
    return tested[rng.integers(0, len(tested), draws)] if len(tested) else tested[:0]


def loadings(corr: np.ndarray) -> Tuple[np.ndarray, Optional[float]]:
    """A with A A' = R, R's negative eigenvalues clipped to 0; and the most
    negative eigenvalue when there was one."""
    lam, v = np.linalg.eigh(corr)
    low = float(lam.min())
    return v * np.sqrt(np.clip(lam, 0, None)), (low if low < 0 else None)


def draw(corr: np.ndarray, patterns: np.ndarray, rng: np.random.Generator,
         seed: int) -> Null:
    """K null draws, one per row of patterns (True = present), through the engine."""
    a, clipped = loadings(corr)
    z = rng.standard_normal((len(patterns), len(corr))) @ a.T
    p = 2 * sps.norm.sf(np.abs(z))
    p[~patterns] = np.nan
    combined = engine.combine(p, corr)
    return Null(np.sort(combined[~np.isnan(combined)]), len(patterns), seed, clipped)


def median_chi2(sorted_p: np.ndarray) -> float:
    """The median chi-square(1) quantile of sorted p-values: that of the middle
    one (the mean of the two middle ones' quantiles for an even count)."""
    n = len(sorted_p)
    return float(np.mean(sps.chi2.isf(sorted_p[[(n - 1) // 2, n // 2]], 1)))


def lambda_method(sorted_obs: np.ndarray, null: Null) -> Optional[float]:
    if not len(sorted_obs) or not len(null.p):
        return None
    return median_chi2(sorted_obs) / median_chi2(null.p)


def lambda_from_hist(hist: np.ndarray) -> Optional[float]:
    """lambda GC of one trait from its histogram of p-values over [0, 1]: the
    middle p-value(s) placed within their bin as if the bin's values were
    spread evenly (within 1e-5 of the exact lambda on a million values)."""
    count = int(hist.sum())
    if count == 0:
        return None
    cum = np.cumsum(hist)
    mids = []
    for k in ((count - 1) // 2, count // 2):  # 0-based ranks of the middle values
        b = int(np.searchsorted(cum, k, side="right"))
        before = cum[b] - hist[b]
        mids.append((b + (k - before + 0.5) / hist[b]) / len(hist))
    return float(np.mean(sps.chi2.isf(mids, 1)) / CHI2_MEDIAN)


def tail_counts(sorted_obs: np.ndarray, null: Optional[Null]) -> List[Dict]:
    """Observed and expected counts below each level; expected from the draws
    when at least MIN_TAIL_DRAWS of them fall below it, else uniform."""
    tested = len(sorted_obs)
    out = []
    for level in TAIL_LEVELS:
        below = int(np.searchsorted(sorted_obs, level, side="left"))
        k = int(np.searchsorted(null.p, level, side="left")) if null and len(null.p) else 0
        if null and k >= MIN_TAIL_DRAWS:
            expected, source = tested * k / len(null.p), "null draws"
        else:
            expected, source = tested * level, "uniform"
        out.append({"below": level, "observed": below, "expected": round(expected, 3),
                    "expected_from": source})
    return out


def quantiles(null: Null, probs: np.ndarray) -> np.ndarray:
    """The null's quantiles at the given probabilities: the draws' where at
    least MIN_TAIL_DRAWS of them lie below, beyond that the uniform's scaled
    to meet the draws there (the method's tail is close to uniform)."""
    k = len(null.p)
    # numpy's "linear" quantile: the value at index u (k - 1), interpolated
    q = np.interp(np.clip(probs, 0, 1) * (k - 1), np.arange(k), null.p) if k else probs.copy()
    edge = MIN_TAIL_DRAWS / k if k else 1.0
    if k:
        far = probs < edge
        q[far] = probs[far] * (null.p[MIN_TAIL_DRAWS - 1] / edge) if k >= MIN_TAIL_DRAWS \
            else probs[far]
    return q
