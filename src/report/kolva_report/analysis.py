"""The run analysis: the run's p-value file beside the results, the
method's null, the loci's carrying and associated traits and novelty,
per-trait lambda GC and p = 0 counts, and the run's pictures. Everything the
method computes comes from the engine (engine.py)."""
import os
from dataclasses import dataclass
from typing import Any, Callable, Dict, List, Optional, Sequence, Tuple

import numpy as np

from . import engine, figures, null as null_mod, plots, traitpass
from .formats import FormatError, where
from .loci import Locus, associate, carrying, mark_novel
from .pvalues import short
from .runfolder import Run

REGIONAL = 10      # regional plots of the strongest loci
CHECKED = 200      # tested records re-evaluated by the engine against the result file
# The result file prints 15 significant digits: a value it was made from
# lies within half a unit of the 15th digit.
PRINTED_REL = 5.5e-15


def check_engine() -> None:
    engine.default_threads()  # loads the module, or stops naming --no-run


# A picture of the page: its file name, caption and the entries of its legend.
Image = Tuple[str, str, List[str]]


@dataclass
class Result:
    summary: Dict
    quantile: Optional[Callable[[np.ndarray], np.ndarray]]  # None without draws
    draw: Callable[..., List[Image]]
    lead_rows: Dict[int, np.ndarray]  # the lead's single-trait p-values, by record number
    best: np.ndarray  # every record's best single-trait p, NaN where none is present


def _check_count(run: Run, results: str, records: int) -> None:
    if run.variants != records:
        raise FormatError(os.path.join(run.folder, "defdims"), 1,
                          f"the run has {run.variants} variants, but {results} holds {records} "
                          "records: the results of another run?")


def _regional_records(found: Sequence[Locus], codes: np.ndarray, pos: np.ndarray,
                      window: int) -> np.ndarray:
    mask = np.zeros(len(codes), bool)
    for lc in found[:REGIONAL]:
        mask |= (codes == lc.chrom) & (pos >= lc.start - window) & (pos <= lc.end + window)
    return np.flatnonzero(mask)


def _check_against_results(run: Run, opt: Any, idx: np.ndarray, p: np.ndarray,
                           got: np.ndarray) -> None:
    """The engine's combined p of these records must be the result file's."""
    with np.errstate(invalid="ignore"):
        bad = ~(np.abs(got - p) <= PRINTED_REL * np.abs(p))
    if bad.any():
        k = int(np.argmax(bad))
        raise FormatError(run.corr_path, 1,
                          f"with this matrix the engine gives p = {got[k]:.15g} for "
                          f"{where(run.pvals, int(idx[k]) + 1)}, but "
                          f"{where(opt.results, int(idx[k]) + 1)} holds {p[k]:.15g}: the "
                          "results were made with another matrix")


def analyse(opt: Any, run: Run, study: Any, found: List[Locus], out: Any) -> Result:
    try:
        return _analyse(opt, run, study, found)
    except engine.MatrixRefused as e:
        raise FormatError(run.corr_path, 1, f"the engine refuses the matrix: {e}") from e


def _analyse(opt: Any, run: Run, study: Any, found: List[Locus]) -> Result:
    rec = study.acc.records
    _check_count(run, opt.results, len(rec.p))
    rng = np.random.default_rng(opt.seed)
    tested = np.flatnonzero(~np.isnan(rec.p))
    drawn = null_mod.choose(tested, opt.null_draws, rng)
    unique_drawn = np.unique(drawn)
    checked = tested[np.linspace(0, len(tested) - 1, min(CHECKED, len(tested))).astype(int)] \
        if len(tested) else tested
    significant = np.union1d(np.fromiter(study.acc.significant, np.int64,
                                         len(study.acc.significant)), checked)
    regional = _regional_records(found, rec.codes, rec.pos, opt.window)
    traits = traitpass.read(run.folder, run.pvals, opt.results, run.phenotypes, rec.keys,
                            rec.n, traitpass.Wanted(significant, regional, unique_drawn,
                                                    below=opt.threshold))
    # The engine on the kept rows: checked against the result file, and the
    # leads' carrying traits.
    details = engine.combine_details(traits.sig_rows, run.corr) if len(significant) \
        else None
    if details is not None:
        _check_against_results(run, opt, significant, rec.p[significant],
                               details.p)
        at = np.searchsorted(significant, [lc.lead for lc in found])
        for lc, traits_of in zip(found, carrying(details.j[at], details.order[at])):
            lc.carrying = traits_of
    m_study = engine.effective_tests(run.corr)
    mark_novel(found, traits.best, rec.codes, rec.pos, opt.threshold, opt.window, m_study)
    # Every record with a single-trait p below the threshold is a hit, so the
    # hits hold every associated trait and every p = 0 of the p-value file.
    associate(found, rec.codes[traits.hits], rec.pos[traits.hits], traits.hit_rows,
              opt.threshold, opt.window)

    nul = None
    if len(drawn):  # none with --null-draws 0 or without a tested variant
        patterns = traits.patterns[np.searchsorted(unique_drawn, drawn)]
        nul = null_mod.draw(run.corr, patterns, rng, opt.seed)
    lam_method = null_mod.lambda_method(study.sorted_p, nul) if nul else None
    summary = {
        "phenotypes": run.names,
        "m_study": m_study,
        "lambda_method": lam_method,
        "lambda_gc_traits": {name: null_mod.lambda_from_hist(traits.hist[k])
                             for k, name in enumerate(run.names)},
        "tail_counts": null_mod.tail_counts(study.sorted_p, nul),
        "null": {"draws": nul.draws if nul else 0, "combined": int(len(nul.p)) if nul else 0,
                 "seed": opt.seed, "generator": "numpy.random.default_rng (PCG64)",
                 "clipped_eigenvalue": nul.clipped if nul else None},
        "p_zero_traits": {name: int(np.count_nonzero(traits.hit_rows[:, k] == 0))
                          for k, name in enumerate(run.names)},
        "locus_traits": [{"locus": k, "lead_id": study.acc.significant[lc.lead]["id"],
                          "associated_traits": [run.names[c] for c, _ in lc.associated],
                          "carrying_traits": [run.names[c] for c in lc.carrying]}
                         for k, lc in enumerate(found, 1)],
    }
    lead_rows = {lc.lead: traits.sig_rows[np.searchsorted(significant, lc.lead)]
                 for lc in found}

    def draw(out: Any, xlabel: str, leads: Optional[plots.Leads]) -> List[Image]:
        images = []
        t = ~np.isnan(rec.p)
        arrays = (rec.p, traits.best, rec.codes, rec.pos)
        p, best, codes, pos = arrays if t.all() else tuple(a[t] for a in arrays)
        key = plots.miami(out("miami.png"), p, best, codes, pos, study.chroms, xlabel,
                          opt.threshold, leads)
        images.append(("miami.png", "Miami plot: the combined p above, the best single "
                       "trait's p of the same variant below", key))
        for k, lc in enumerate(found[:REGIONAL], 1):
            near = (rec.codes[regional] == lc.chrom) \
                & (rec.pos[regional] >= lc.start - opt.window) \
                & (rec.pos[regional] <= lc.end + opt.window)
            idx = regional[near]
            lead = study.acc.significant[lc.lead]
            cols = [c for c, _ in lc.associated[:figures.REGIONAL_TRAITS]]
            key = figures.regional(
                out(f"regional_{k}.png"),
                f"Locus {k}: {lead['chrom']}:{lc.start:,}-{lc.end:,}, lead {lead['id']}",
                rec.pos[idx], rec.p[idx], traits.reg_rows[near][:, cols],
                [run.names[c] for c in cols], lead["pos"], (lc.start, lc.end),
                opt.threshold)
            rest = lc.associated[figures.REGIONAL_TRAITS:]
            caption = (f"Regional plot of locus {k}: the combined p and the own p of each "
                       f"associated trait over the locus and {opt.window:,} bases around it")
            if rest:
                caption += (f"; {len(rest)} weaker associated traits not drawn: "
                            + ", ".join(f"{run.names[c]} ({short(v)})" for c, v in rest))
            images.append((f"regional_{k}.png", caption, key))
        figures.heatmap(out("correlation.png"), run.corr, run.names)
        images.append(("correlation.png", "Phenotype correlation", []))
        return images

    quantile = (lambda u: null_mod.quantiles(nul, u)) if nul else None
    return Result(summary, quantile, draw, lead_rows, traits.best)


def _p(v: float) -> str:
    return "NA" if np.isnan(v) else repr(float(v))


def locus_rows(found: Sequence[Locus], study: Any, names: List[str],
               result: Optional[Result]) -> List[Dict]:
    """The rows of loci.tsv (and of the page, which also reads "associated",
    each associated trait's name and smallest p in the window)."""
    lead_rows = result.lead_rows if result else {}
    rows = []
    for k, lc in enumerate(found, 1):
        lead = study.acc.significant[lc.lead]
        row = {"locus": k, "chrom": lead["chrom"], "start": lc.start, "end": lc.end,
               "lead_id": lead["id"], "lead_pos": lead["pos"], "allele1": lead["allele1"],
               "allele2": lead["allele2"], "p": lead["p_text"], "n_significant": lc.members,
               "associated_traits": ",".join(names[c] for c, _ in lc.associated)
               if result else "NA",
               "carrying_traits": ",".join(names[c] for c in lc.carrying) if result else "NA",
               "novel": int(lc.novel) if result else "NA"}
        if result:
            row.update({f"p_{name}": _p(v) for name, v in zip(names, lead_rows[lc.lead])})
            row["associated"] = [(names[c], v) for c, v in lc.associated]
            if k <= REGIONAL:
                row["regional"] = f"regional_{k}.png"
        rows.append(row)
    return rows


COLUMNS = ("locus", "chrom", "start", "end", "lead_id", "lead_pos", "allele1", "allele2", "p",
           "n_significant", "associated_traits", "carrying_traits", "novel")


def loci_tsv(rows: List[Dict], names: List[str]) -> str:
    cols = list(COLUMNS) + [f"p_{name}" for name in names]
    lines = ["\t".join(cols)] + ["\t".join(str(r[c]) for c in cols) for r in rows]
    return "\n".join(lines) + "\n"
