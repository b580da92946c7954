"""The run's pictures: the phenotype correlation as a heatmap, and the
regional plot of a locus."""
from typing import List, Sequence

import numpy as np
from matplotlib.figure import Figure

from .plots import (BLACK, BLUE, GREEN, ORANGE, PURPLE, SKY, VERMILLION, ZERO_MARK, legend,
                    minus_log10, zero_label, zero_level)

# The traits of a regional plot (at most REGIONAL_TRAITS): Okabe and Ito's
# colours but black (the combined p) and yellow (too pale on white), each
# with a marker of its own, so no two series look alike even without colour.
TRAIT_STYLES = ((ORANGE, "o"), (SKY, "s"), (GREEN, "D"), (PURPLE, "P"), (VERMILLION, "X"),
                (BLUE, "h"), (ORANGE, "p"), (GREEN, "*"))
REGIONAL_TRAITS = len(TRAIT_STYLES)


def heatmap(out: str, corr: np.ndarray, names: Sequence[str]) -> None:
    n = len(names)
    size = min(11.0, 3.2 + 0.32 * n)
    fig = Figure(figsize=(size + 1.2, size), dpi=100, layout="constrained")
    ax = fig.add_subplot()
    im = ax.imshow(corr, cmap="RdBu_r", vmin=-1, vmax=1)
    ax.set_xticks(range(n), names, rotation=90, fontsize=8 if n <= 30 else 6)
    ax.set_yticks(range(n), names, fontsize=8 if n <= 30 else 6)
    font = 8 if n <= 12 else 6 if n <= 25 else 4
    for i in range(n):
        for j in range(n):
            ax.text(j, i, f"{corr[i, j]:.2f}", ha="center", va="center", fontsize=font,
                    color="white" if abs(corr[i, j]) > 0.6 else "black")
    fig.colorbar(im, ax=ax, shrink=0.8, label="phenotype correlation")
    ax.set_title("Phenotype correlation of the run")
    fig.savefig(out, format="png")


def regional(out: str, title: str, pos: np.ndarray, p: np.ndarray, traits: np.ndarray,
             names: List[str], lead_pos: int, span: Sequence[int], threshold: float) -> List[str]:
    """-log10 p over a locus +/- window: the combined p as black points, each
    trait's own p (columns of traits, named, at most REGIONAL_TRAITS) as a
    series of its own; p = 0 at the top. Returns the legend's entries."""
    # two to a row; fixed margins (a constrained layout takes longer to work out)
    fig = Figure(figsize=(6.0, 3.8), dpi=100)
    fig.subplots_adjust(left=0.1, right=0.98, bottom=0.13, top=0.78)
    ax = fig.add_subplot()
    mb = pos / 1e6
    ys = [minus_log10(traits[:, k]) for k in range(len(names))]
    y = minus_log10(p)
    zero_y, top = zero_level(np.concatenate([y, *ys]), -np.log10(threshold) * 1.05)
    zeros = 0
    series = [(f"{name} alone", yk, colour, marker, 4, 0.75)
              for name, yk, (colour, marker) in zip(names, ys, TRAIT_STYLES)]
    for label, yk, colour, marker, size, alpha in series + [("combined", y, BLACK, "o", 3, 1)]:
        zero = np.isinf(yk)
        zeros += int(zero.sum())
        ax.plot(mb[~zero], yk[~zero], marker, ms=size, mew=0, alpha=alpha, color=colour,
                label=label, ls="none")
        ax.plot(mb[zero], np.full(int(zero.sum()), zero_y), ZERO_MARK, ms=5, mew=0,
                alpha=alpha, color=colour, ls="none")
    lead = pos == lead_pos
    ax.plot(mb[lead], np.where(np.isinf(y[lead]), zero_y, y[lead]), "D", ms=8, mfc="white",
            mec=BLACK, mew=1.2, ls="none", label="lead")
    if zeros:
        ax.plot([], [], ZERO_MARK, color=BLACK, ls="none", label=zero_label(zeros))
    ax.axhline(-np.log10(threshold), color="0.3", ls="--", lw=0.8, label=f"p = {threshold:g}")
    ax.axvspan(span[0] / 1e6, span[1] / 1e6, color="0.92", lw=0, zorder=0, label="the locus")
    ax.set_ylim(0, top)
    ax.set_xlabel("position (Mb)")
    ax.set_ylabel("$-\\log_{10}\\,p$")
    fig.text(0.01, 0.97, title, fontsize=10, va="top")
    # the legend above the axes: it never hides a point
    ax.legend(loc="lower left", bbox_to_anchor=(0, 1.02), frameon=False, fontsize=7, ncol=4,
              borderaxespad=0, handletextpad=0.2, columnspacing=0.8)
    fig.savefig(out, format="png")
    return legend(ax)
