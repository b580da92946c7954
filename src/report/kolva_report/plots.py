"""The QQ plot and the Manhattan plot (matplotlib, drawn without a display).

Millions of points take matplotlib minutes to draw and look like the same
picture with one point per pixel-sized cell, so points are thinned on a
grid of about one cell per pixel: in the QQ plot all of them (the first
point of each cell stays), in the Manhattan plot those with p > 0.01 (one
point in the middle of each occupied cell; the ones below stay, every one).
"""
from typing import Any, Callable, Optional, Tuple

import numpy as np
from matplotlib.figure import Figure
from scipy import stats

from . import genome
from .genome import ChromTable

COLOURS = ("#1f4e79", "#6fa8dc")
TINY = np.nextafter(0, 1)  # -log10 of a p-value of 0 is drawn as that of this
_QQ_CELLS = 1000
_MANHATTAN_CELLS = (1200, 450)  # about one per pixel of the image


def minus_log10(p: np.ndarray) -> np.ndarray:
    out = np.maximum(p, TINY)  # one new array, the rest in place
    np.log10(out, out=out)
    return np.negative(out, out=out)


def qq(out: str, sorted_p: np.ndarray, lam: Optional[float],
       null_quantile: Optional[Callable[[np.ndarray], np.ndarray]] = None,
       lam_method: Optional[float] = None) -> None:
    """Observed against expected -log10 p. With null_quantile (the method's
    null, from the draws) the expected values are its quantiles and the
    uniform is drawn for reference; without it, the uniform's."""
    fig = Figure(figsize=(5.2, 5.2), dpi=100, layout="constrained")
    ax = fig.add_subplot()
    n = len(sorted_p)
    quantile = null_quantile or (lambda u: u)
    if n:
        obs = minus_log10(sorted_p).astype(np.float32)  # float32: far below a pixel
        exp = minus_log10(quantile(np.arange(1, n + 1) / (n + 1))).astype(np.float32)
        xb = (exp * np.float32(_QQ_CELLS / exp[0])).astype(np.int32)
        yb = (obs * np.float32(_QQ_CELLS / max(obs[0], exp[0]))).astype(np.int32)
        keep = np.concatenate(([True], (xb[1:] != xb[:-1]) | (yb[1:] != yb[:-1])))
        # The k-th smallest of n uniform values is Beta(k, n + 1 - k); through
        # the null's quantiles, the band of the k-th smallest under that null.
        k = np.unique(np.geomspace(1, n, 300).round()).astype(np.int64)
        band = stats.beta.ppf([[0.975], [0.025]], k, n + 1 - k)
        ax.fill_between(minus_log10(quantile(k / (n + 1))), minus_log10(quantile(band[0])),
                        minus_log10(quantile(band[1])), color="0.85", lw=0,
                        label="95 % band under the " + ("method's null" if null_quantile
                                                        else "null"))
        ax.plot([0, exp[0]], [0, exp[0]], color="0.45", lw=0.8)
        if null_quantile:
            u = np.geomspace(1 / (n + 1), 1, 200)
            ax.plot(minus_log10(quantile(u)), minus_log10(u), color="#c0392b", ls="--",
                    lw=0.8, label="uniform p (the classic reference)")
        ax.plot(exp[keep], obs[keep], "o", ms=2.5, mew=0, color=COLOURS[0])
        ax.legend(loc="upper left", frameon=False, fontsize=8)
    what = "the method's null (draws)" if null_quantile else "uniform"
    ax.set_xlabel(f"expected $-\\log_{{10}}\\,p$, {what}")
    ax.set_ylabel("observed $-\\log_{10}\\,p$")
    if not n:
        title = "QQ plot: no tested variants"
    elif lam_method is not None:
        title = f"QQ plot, $\\lambda_{{method}}$ = {lam_method:.3f}"
    else:
        title = f"QQ plot, $\\lambda_{{GC}}$ = {lam:.3f}" if lam is not None else "QQ plot"
    ax.set_title(title)
    fig.savefig(out, format="png")


def _extents(codes: np.ndarray, pos: np.ndarray,
             ncodes: int) -> Tuple[np.ndarray, np.ndarray]:
    """Smallest and largest position of every chromosome code."""
    order = np.argsort(codes, kind="stable")
    c = codes[order]
    starts = np.flatnonzero(np.concatenate(([True], c[1:] != c[:-1])))
    lo, hi = np.zeros(ncodes, np.int64), np.full(ncodes, -1, np.int64)
    lo[c[starts]] = np.minimum.reduceat(pos[order], starts)
    hi[c[starts]] = np.maximum.reduceat(pos[order], starts)
    return lo, hi


def _track(ax: Any, p: np.ndarray, codes: np.ndarray, pos: np.ndarray, chroms: ChromTable,
           threshold: float) -> None:
    """-log10 p along the chromosomes into ax (chromosomes in plot order,
    alternating colours), with lines at the threshold and at 1e-5."""
    line = -np.log10(threshold)
    top = line * 1.1
    if len(p):
        lo, hi = _extents(codes, pos, len(chroms.names))
        order = [c for c in chroms.plot_order() if hi[c] >= 0]
        width = (hi - lo + 1).astype(float)
        gap = 0.005 * width[order].sum()
        offset, rank = np.zeros(len(width)), np.zeros(len(width), np.int64)
        at = 0.0
        for r, c in enumerate(order):
            offset[c], rank[c] = at - lo[c] + 0.5, r  # a position fills [pos, pos + 1)
            at += width[c] + gap
        # float32: far below a pixel
        x = offset.astype(np.float32)[codes] + pos.astype(np.float32)
        y = minus_log10(p).astype(np.float32)
        top = max(top, float(y.max()) * 1.06)
        colour = (rank[codes] % 2).astype(np.uint8)
        # p > 0.01: one point in the middle of every occupied cell.
        nx, ny = _MANHATTAN_CELLS
        high = p > 0.01
        cell = (((x[high] * (nx / at)).astype(np.int32) * ny
                 + (y[high] * (ny / top)).astype(np.int32)) * 2 + colour[high])
        occupied = np.flatnonzero(np.bincount(cell, minlength=2 * nx * ny))
        cx = ((occupied // 2 // ny + 0.5) * (at / nx)).astype(np.float32)
        cy = ((occupied // 2 % ny + 0.5) * (top / ny)).astype(np.float32)
        low = ~high
        for k in (0, 1):
            sel = low & (colour == k)
            mid = occupied % 2 == k
            ax.plot(np.concatenate((x[sel], cx[mid])), np.concatenate((y[sel], cy[mid])),
                    "o", ms=2.5, mew=0, color=COLOURS[k])
        ax.set_xticks([offset[c] + lo[c] - 0.5 + width[c] / 2 for c in order],
                      [genome.label(chroms.names[c]) for c in order],
                      fontsize=8 if len(order) <= 26 else 6,
                      rotation=0 if len(order) <= 26 else 90)
        ax.set_xlim(-gap, at)
    else:
        ax.text(0.5, 0.5, "no tested variants", ha="center", transform=ax.transAxes)
    ax.axhline(line, color="#c0392b", ls="--", lw=0.8, label=f"p = {threshold:g}")
    ax.axhline(5, color="0.5", ls=":", lw=0.8, label="p = 1e-5")
    ax.set_ylim(0, top)


def manhattan(out: str, p: np.ndarray, codes: np.ndarray, pos: np.ndarray, chroms: ChromTable,
              xlabel: str, threshold: float = 5e-8) -> None:
    fig = Figure(figsize=(12, 4.5), dpi=100, layout="constrained")
    ax = fig.add_subplot()
    _track(ax, p, codes, pos, chroms, threshold)
    ax.set_xlabel(xlabel)
    ax.set_ylabel("$-\\log_{10}\\,p$")
    ax.legend(loc="upper right", frameon=False, fontsize=8)
    fig.savefig(out, format="png")


def miami(out: str, p: np.ndarray, best: np.ndarray, codes: np.ndarray, pos: np.ndarray,
          chroms: ChromTable, xlabel: str, threshold: float) -> None:
    """The combined p above, the best single trait's p of the same variants
    below (drawn downwards)."""
    fig = Figure(figsize=(12, 6.5), dpi=100, layout="constrained")
    up, down = fig.subplots(2, 1, sharex=True)
    _track(up, p, codes, pos, chroms, threshold)
    _track(down, best, codes, pos, chroms, threshold)
    top = max(up.get_ylim()[1], down.get_ylim()[1])
    up.set_ylim(0, top)
    down.set_ylim(top, 0)
    up.set_ylabel("combined: $-\\log_{10}\\,p$")
    down.set_ylabel("best single trait: $-\\log_{10}\\,p$")
    down.set_xlabel(xlabel)
    up.legend(loc="upper right", frameon=False, fontsize=8)
    fig.savefig(out, format="png")
