"""The run's pictures: the phenotype correlation as a heatmap, and the
regional plot of a locus."""
from typing import List, Sequence

import numpy as np
from matplotlib.figure import Figure

from .plots import COLOURS, minus_log10

TRAIT_COLOURS = ("#e69f00", "#009e73", "#cc79a7", "#56b4e9", "#d55e00", "#0072b2",
                 "#f0e442", "#999999")


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
             names: List[str], lead_pos: int, span: Sequence[int], threshold: float) -> None:
    """-log10 p over a locus +/- window: the combined p as points, each
    carrying trait's own p (columns of traits, named) as a faint series."""
    # two to a row; fixed margins (a constrained layout takes longer to work out)
    fig = Figure(figsize=(6.0, 3.4), dpi=100)
    fig.subplots_adjust(left=0.1, right=0.98, bottom=0.14, top=0.9)
    ax = fig.add_subplot()
    mb = pos / 1e6
    for k, name in enumerate(names):
        colour = TRAIT_COLOURS[k % len(TRAIT_COLOURS)]
        ax.plot(mb, minus_log10(traits[:, k]), "o", ms=3, mew=0, alpha=0.35, color=colour,
                label=f"{name} alone")
    ax.plot(mb, minus_log10(p), "o", ms=3.5, mew=0, color=COLOURS[0], label="combined")
    lead = pos == lead_pos
    ax.plot(mb[lead], minus_log10(p[lead]), "D", ms=7, color="#c0392b", label="lead")
    ax.axhline(-np.log10(threshold), color="#c0392b", ls="--", lw=0.8)
    ax.axvspan(span[0] / 1e6, span[1] / 1e6, color="0.92", lw=0, zorder=0)
    ax.set_xlabel("position (Mb)")
    ax.set_ylabel("$-\\log_{10}\\,p$")
    ax.set_title(title, fontsize=10)
    ax.legend(loc="upper right", frameon=False, fontsize=7, ncol=2)
    fig.savefig(out, format="png")
