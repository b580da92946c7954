"""The QQ, Manhattan and Miami plots (matplotlib, drawn without a display).

Millions of points take matplotlib minutes to draw and look like the same
picture with one point per pixel-sized cell, so points are thinned on a
grid of about one cell per pixel: in the QQ plot all of them (the first
point of each cell stays), in the Manhattan plot those with p > 0.01 (one
point in the middle of each occupied cell; the ones below stay, every one).

Colours are Okabe and Ito's, told apart with every common kind of colour
blindness. A p-value of 0 (below the smallest double: its -log10 is not
known) is drawn at the top of its axis with a marker of its own, ZERO_MARK,
and named in the legend.
"""
from dataclasses import dataclass
from typing import Any, Callable, List, Optional, Tuple

import numpy as np
from matplotlib.figure import Figure
from scipy import stats

from . import genome
from .genome import ChromTable

# Okabe and Ito's palette.
BLACK, ORANGE, SKY, GREEN, YELLOW, BLUE, VERMILLION, PURPLE = (
    "#000000", "#E69F00", "#56B4E9", "#009E73", "#F0E442", "#0072B2", "#D55E00", "#CC79A7")
COLOURS = (BLUE, SKY)       # alternate chromosomes; BLUE is also the QQ plot's points
THRESHOLD_COLOUR = VERMILLION
NOVEL_COLOUR = ORANGE       # leads of loci found only by combining
ZERO_MARK = "^"             # p = 0, at the top of an axis ("v" on an axis drawn downwards)
NAMED_LEADS = 20            # the strongest leads are named on the genome-wide plots
_QQ_CELLS = 1000
_MANHATTAN_CELLS = (1200, 450)  # about one per pixel of the image
_ZERO_BAND = 1.07           # p = 0 drawn at this times the largest finite -log10 p
_LABEL_GAP = 0.012          # the narrowest gap between two leads' names, of the axis width


def minus_log10(p: np.ndarray) -> np.ndarray:
    """-log10 p as float64: +inf for p = 0, NaN for NaN and for a negative
    value (which the callers draw as such, so numpy need not warn of them)."""
    out = np.array(p, np.float64)
    with np.errstate(divide="ignore", invalid="ignore"):
        np.log10(out, out=out)
    return np.negative(out, out=out)


def zero_level(y: np.ndarray, floor: float) -> Tuple[float, float]:
    """Where p = 0 is drawn on an axis of values y (inf for p = 0), and the
    axis' top: above the largest finite value, and above floor."""
    high = max(floor, float(np.max(y, where=np.isfinite(y), initial=0.0)))
    return high * _ZERO_BAND, high * _ZERO_BAND * 1.05


def zero_label(count: int, what: str = "p") -> str:
    return f"{what} = 0, below the smallest double ({count:,}): drawn at the top"


@dataclass
class Leads:
    """Locus leads to mark on the genome-wide plots, strongest first."""
    codes: np.ndarray
    pos: np.ndarray
    p: np.ndarray                # combined p of each lead
    best: np.ndarray             # its best single-trait p (the Miami plot's lower track)
    ids: List[str]
    novel: Optional[np.ndarray]  # found only by combining; None: not known (no run)


def legend(*axes: Any) -> List[str]:
    """The entries of the axes' legends, for the page to name."""
    return [label for ax in axes for label in ax.get_legend_handles_labels()[1]]


def qq(out: str, sorted_p: np.ndarray, lam: Optional[float],
       null_quantile: Optional[Callable[[np.ndarray], np.ndarray]] = None,
       lam_method: Optional[float] = None) -> List[str]:
    """Observed against expected -log10 p. With null_quantile (the method's
    null, from the draws) the expected values are its quantiles and the
    uniform is drawn for reference; without it, the uniform's. Returns the
    legend's entries."""
    fig = Figure(figsize=(5.2, 5.2), dpi=100, layout="constrained")
    ax = fig.add_subplot()
    n = len(sorted_p)
    quantile = null_quantile or (lambda u: u)
    null = "the method's null" if null_quantile else "uniform p"
    if n:
        zeros = int(np.searchsorted(sorted_p, 0.0, side="right"))  # p = 0 come first
        # float32: far below a pixel (each float64 array lives only while converted)
        obs = minus_log10(sorted_p[zeros:]).astype(np.float32)
        expected = minus_log10(quantile(np.arange(1, n + 1) / (n + 1))).astype(np.float32)
        exp_max = float(expected[0])
        zero_y, top = zero_level(obs[:1], exp_max)  # obs[0]: the largest
        exp_zero, exp = expected[:zeros], expected[zeros:]
        keep = np.zeros(0, bool)
        if len(obs):
            xb = (exp * np.float32(_QQ_CELLS / exp_max)).astype(np.int32)
            yb = (obs * np.float32(_QQ_CELLS / top)).astype(np.int32)
            keep = np.concatenate(([True], (xb[1:] != xb[:-1]) | (yb[1:] != yb[:-1])))
        # The k-th smallest of n uniform values is Beta(k, n + 1 - k); through
        # the null's quantiles, the band of the k-th smallest under that null.
        k = np.unique(np.geomspace(1, n, 300).round()).astype(np.int64)
        band = stats.beta.ppf([[0.975], [0.025]], k, n + 1 - k)
        ax.fill_between(minus_log10(quantile(k / (n + 1))), minus_log10(quantile(band[0])),
                        minus_log10(quantile(band[1])), color="0.85", lw=0,
                        label=f"95 % band of each value under {null}")
        ax.plot([0, exp_max], [0, exp_max], color=BLACK, lw=0.8,
                label=f"diagonal: observed = expected under {null}")
        if null_quantile:
            u = np.geomspace(1 / (n + 1), 1, 200)
            ax.plot(minus_log10(quantile(u)), minus_log10(u), color=VERMILLION, ls="--",
                    lw=0.8, label="uniform p (the classic reference)")
        ax.plot(exp[keep], obs[keep], "o", ms=2.5, mew=0, color=BLUE,
                label=f"the study's {n:,} combined p-values")
        if zeros:
            ax.plot(exp_zero, np.full(zeros, zero_y), ZERO_MARK, ms=5, color=BLACK,
                    label=zero_label(zeros))
        ax.set_ylim(0, top)
        ax.legend(loc="upper left", frameon=False, fontsize=7)
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
    return legend(ax)


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


@dataclass
class _Axis:
    """Where a track put things: x of a chromosome position, and p = 0."""
    offset: np.ndarray
    zero_y: float

    def x(self, codes: np.ndarray, pos: np.ndarray) -> np.ndarray:
        return self.offset[codes] + pos


def _track(ax: Any, p: np.ndarray, codes: np.ndarray, pos: np.ndarray, chroms: ChromTable,
           threshold: float, zero_mark: str = ZERO_MARK, what: str = "p") -> _Axis:
    """-log10 p along the chromosomes into ax (chromosomes in plot order,
    alternating colours), with lines at the threshold and at 1e-5, and
    p = 0 at the top."""
    line = -np.log10(threshold)
    axis = _Axis(np.zeros(len(chroms.names)), line * 1.1)
    top = line * 1.15
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
        axis.offset = offset
        # float32: far below a pixel
        x = offset.astype(np.float32)[codes] + pos.astype(np.float32)
        y = minus_log10(p)
        axis.zero_y, top = zero_level(y, line * 1.05)
        zero = np.isinf(y)
        y = y.astype(np.float32)
        colour = (rank[codes] % 2).astype(np.uint8)
        # p > 0.01: one point in the middle of every occupied cell.
        nx, ny = _MANHATTAN_CELLS
        high = p > 0.01
        cell = (((x[high] * (nx / at)).astype(np.int32) * ny
                 + (y[high] * (ny / top)).astype(np.int32)) * 2 + colour[high])
        occupied = np.flatnonzero(np.bincount(cell, minlength=2 * nx * ny))
        cx = ((occupied // 2 // ny + 0.5) * (at / nx)).astype(np.float32)
        cy = ((occupied // 2 % ny + 0.5) * (top / ny)).astype(np.float32)
        low = ~high & ~zero
        for k in (0, 1):
            sel = low & (colour == k)
            mid = occupied % 2 == k
            ax.plot(np.concatenate((x[sel], cx[mid])), np.concatenate((y[sel], cy[mid])),
                    "o", ms=2.5, mew=0, color=COLOURS[k])
        zeros = int(np.count_nonzero(zero))
        if zeros:
            ax.plot(x[zero], np.full(zeros, axis.zero_y), zero_mark, ms=6, color=BLACK,
                    label=zero_label(zeros, what), ls="none")
        ax.set_xticks([offset[c] + lo[c] - 0.5 + width[c] / 2 for c in order],
                      [genome.label(chroms.names[c]) for c in order],
                      fontsize=8 if len(order) <= 26 else 6,
                      rotation=0 if len(order) <= 26 else 90)
        ax.set_xlim(-gap, at)
    else:
        ax.text(0.5, 0.5, "no tested variants", ha="center", transform=ax.transAxes)
    ax.axhline(line, color=THRESHOLD_COLOUR, ls="--", lw=0.8, label=f"p = {threshold:g}")
    ax.axhline(5, color="0.5", ls=":", lw=0.8, label="p = 1e-05")
    ax.set_ylim(0, top)
    return axis


def _mark_leads(ax: Any, axis: _Axis, leads: Leads, p: np.ndarray, named: bool) -> None:
    """Every lead as a diamond at its p (those of novel loci in their own
    colour); with named, the strongest NAMED_LEADS labelled with their ids."""
    if not len(leads.ids):
        return
    x = axis.x(leads.codes, leads.pos)
    y = minus_log10(p)
    y[np.isinf(y)] = axis.zero_y
    novel = leads.novel if leads.novel is not None else np.zeros(len(x), bool)
    for sel, face, label in ((~novel, "white", "locus lead"),
                             (novel, NOVEL_COLOUR, "lead of a locus found only by combining")):
        if sel.any():
            ax.plot(x[sel], y[sel], "D", ms=6, mfc=face, mec=BLACK, mew=0.9, ls="none",
                    label=f"{label} ({int(sel.sum()):,})", zorder=3)
    if not named:
        return
    # The strongest leads' ids, upright above them; ids closer than a label's
    # width are pushed apart along the axis and joined to their lead by a line.
    first = np.arange(min(NAMED_LEADS, len(x)))
    lo, hi = ax.get_xlim()
    frac = (x[first] - lo) / (hi - lo)
    order = np.argsort(frac, kind="stable")
    placed = frac[order].copy()
    for k in range(1, len(placed)):
        placed[k] = max(placed[k], placed[k - 1] + _LABEL_GAP)
    overflow = placed[-1] - 1 if len(placed) else 0
    if overflow > 0:  # pushed past the right end: shift back, keeping the gaps
        placed = np.minimum(placed, 1 - _LABEL_GAP * np.arange(len(placed))[::-1])
    width_pt = ax.figure.get_figwidth() * 72 * 0.92
    for i, at in zip(first[order], placed):
        dx = (at - frac[i]) * width_pt
        ax.annotate(leads.ids[i], (x[i], y[i]), xytext=(dx, 10), textcoords="offset points",
                    fontsize=7, rotation=90, ha="center", va="bottom",
                    color=NOVEL_COLOUR if novel[i] else BLACK, annotation_clip=False,
                    arrowprops={"arrowstyle": "-", "lw": 0.5, "color": "0.5",
                                "shrinkA": 0, "shrinkB": 4})


def _headroom(ax: Any, leads: Optional[Leads]) -> None:
    """Room above the highest point for the leads' names."""
    if leads is not None and len(leads.ids):
        bottom, top = ax.get_ylim()
        ax.set_ylim(bottom, top * 1.35)


def _legend_above(ax: Any, extra: Any = None) -> List[str]:
    """The legend in a row above the axes (it hides no point); extra: more
    axes whose entries not yet named join it. Returns its entries."""
    handles, labels = ax.get_legend_handles_labels()
    for other in extra or ():
        for h, label in zip(*other.get_legend_handles_labels()):
            if label not in labels:
                handles.append(h)
                labels.append(label)
    ax.legend(handles, labels, loc="lower left", bbox_to_anchor=(0, 1.01), ncol=min(len(labels), 5),
              frameon=False, fontsize=7, borderaxespad=0)
    return labels


def manhattan(out: str, p: np.ndarray, codes: np.ndarray, pos: np.ndarray, chroms: ChromTable,
              xlabel: str, threshold: float = 5e-8, leads: Optional[Leads] = None) -> List[str]:
    fig = Figure(figsize=(12, 4.5), dpi=100, layout="constrained")
    ax = fig.add_subplot()
    axis = _track(ax, p, codes, pos, chroms, threshold)
    if leads is not None:
        _headroom(ax, leads)
        _mark_leads(ax, axis, leads, leads.p, True)
    ax.set_xlabel(xlabel)
    ax.set_ylabel("$-\\log_{10}\\,p$")
    labels = _legend_above(ax)
    fig.savefig(out, format="png")
    return labels


def miami(out: str, p: np.ndarray, best: np.ndarray, codes: np.ndarray, pos: np.ndarray,
          chroms: ChromTable, xlabel: str, threshold: float,
          leads: Optional[Leads] = None) -> List[str]:
    """The combined p above, the best single trait's p of the same variants
    below (drawn downwards); the leads marked on both, named above."""
    fig = Figure(figsize=(12, 6.5), dpi=100, layout="constrained")
    up, down = fig.subplots(2, 1, sharex=True)
    axes = _track(up, p, codes, pos, chroms, threshold), \
        _track(down, best, codes, pos, chroms, threshold, "v", "best single-trait p")
    top = max(up.get_ylim()[1], down.get_ylim()[1])
    up.set_ylim(0, top)
    down.set_ylim(top, 0)
    if leads is not None:
        _headroom(up, leads)
        _mark_leads(up, axes[0], leads, leads.p, True)
        _mark_leads(down, axes[1], leads, leads.best, False)
    up.set_ylabel("combined: $-\\log_{10}\\,p$")
    down.set_ylabel("best single trait: $-\\log_{10}\\,p$")
    down.set_xlabel(xlabel)
    labels = _legend_above(up, [down])
    fig.savefig(out, format="png")
    return labels
