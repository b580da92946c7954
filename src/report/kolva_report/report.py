"""The report: the result file (and its map) read once, then, unless
--no-run, the run behind it (its p-value file through the engine, the null
draws, the loci's traits and novelty); every output is written under a
temporary name and renamed at the end, so a failure leaves nothing under a
final name."""
import json
import os
import time
from dataclasses import dataclass, field
from typing import Any, Dict, List, Optional, Tuple

import numpy as np

from . import genome, loci as loci_mod, runfolder, settings, ssf, table
from .formats import FormatError, where
from .mapfile import MapReader
from .pvalues import zero_count
from .stats import Accumulator


@dataclass
class Options:
    results: str
    map_path: Optional[str]
    outdir: str
    title: str
    version: str
    run_dir: Optional[str]  # None: --no-run
    null_draws: int = settings.NULL_DRAWS
    seed: int = settings.SEED
    threshold: float = settings.THRESHOLD
    window: int = settings.WINDOW


class Outputs:
    """Output files under temporary names until publish()."""

    def __init__(self, outdir: str) -> None:
        self.outdir = outdir
        self.tmp: Dict[str, str] = {}

    def __call__(self, name: str) -> str:
        if name not in self.tmp:
            self.tmp[name] = os.path.join(self.outdir, f".{name}.{os.getpid()}.tmp")
        return self.tmp[name]

    def publish(self) -> None:
        for name, path in self.tmp.items():
            os.replace(path, os.path.join(self.outdir, name))

    def discard(self) -> None:
        for path in self.tmp.values():
            if os.path.exists(path):
                os.remove(path)


@dataclass
class Study:
    """What the result file and the map gave."""
    summary: Dict
    sorted_p: np.ndarray
    p: np.ndarray
    codes: np.ndarray
    pos: np.ndarray
    acc: Accumulator
    chroms: genome.ChromTable
    ssf_sorted: Optional[bool] = None
    extra: Dict = field(default_factory=dict)


def run(opt: Options) -> Dict:
    os.makedirs(opt.outdir, exist_ok=True)
    out = Outputs(opt.outdir)
    try:
        summary = _write(opt, out)
        out.publish()
    except BaseException:
        out.discard()
        raise
    return summary


def _read_results(opt: Options, out: Outputs) -> Study:
    from . import records
    from .genome import WithinChrom

    chroms, acc = genome.ChromTable(), Accumulator(opt.threshold)
    mp = MapReader(opt.map_path) if opt.map_path else None
    within = WithinChrom()
    tsv = table.GzWriter(out("results.tsv.gz"), table.HEADER)
    sgz = table.GzWriter(out(ssf.NAME), ssf.HEADER) if mp else None
    writer = ssf.Writer(sgz) if sgz else None
    try:
        for rec in records.read(opt.results):
            if mp:
                m = mp.next(rec, opt.results)
                codes, pos, row = chroms.codes(m.chrom), m.pos, m.row
                tsv.write(table.rows_from_map(m, rec))
                if writer:
                    writer.add(m, rec, chroms.names, codes)
            else:
                codes = chroms.codes(rec.chrom)
                pos = within.number(codes)
                tsv.write(table.rows_from_records(rec, pos))

                def row(i: int, rec: records.Records = rec,
                        pos: np.ndarray = pos) -> Tuple[str, int, str, str, str]:
                    text = [rec.chrom[i].tobytes(), rec.ident[i].tobytes()]
                    c, ident = (t.decode("utf-8", "replace").strip() for t in text)
                    return c, pos[i], ident, "", ""
            acc.add(rec, codes, pos, row)
        if mp:
            mp.finish(acc.counts["variants"], opt.results)
    finally:
        if mp:
            mp.close()
        tsv.close()
        if sgz:
            sgz.close()
    summary, sorted_p, p, codes, pos = acc.finish()
    return Study(summary, sorted_p, p, codes, pos, acc, chroms,
                 writer.sorted if writer else None)


def _write(opt: Options, out: Outputs) -> Dict:
    # numpy, scipy and matplotlib load only here: --help answers at once.
    from . import analysis, page, plots

    os.stat(opt.results)  # the results first: a missing file is named before the run
    run = None
    if opt.run_dir is not None:
        run = runfolder.read(opt.run_dir)
        analysis.check_engine()
    study = _read_results(opt, out)
    s = study.summary
    summary: Dict = {"program": f"kolva-report {opt.version}", "results": opt.results,
                     "map": opt.map_path, "run": opt.run_dir, **s,
                     "p_zero": zero_count(study.p)}
    rec = study.acc.records
    assert rec is not None
    found = loci_mod.find(rec.p, rec.codes, rec.pos, opt.threshold, opt.window) \
        if opt.map_path else []
    result = analysis.analyse(opt, run, study, found, out) if run else None
    if result:
        summary.update(result.summary)
    summary.update({"threshold": opt.threshold, "window": opt.window,
                    "loci": len(found) if opt.map_path else None,
                    "novel_loci": sum(lc.novel for lc in found) if result and opt.map_path
                    else None})
    names = run.names if run else []
    rows = analysis.locus_rows(found, study, names, result)
    with open(out("loci.tsv"), "w", encoding="utf-8") as f:
        f.write(analysis.loci_tsv(rows, names))
    if opt.map_path:
        ssf.metadata(out(ssf.META), out(ssf.NAME), bool(study.ssf_sorted), names,
                     summary["program"], time.strftime(
                         "%Y-%m-%d", time.gmtime(os.stat(opt.results).st_mtime)))
    quantile = result.quantile if result else None
    key = plots.qq(out("qq.png"), study.sorted_p, s["lambda_gc"], quantile,
                   summary.get("lambda_method"))
    images = [("qq.png", "QQ plot of the combined p-values", key)]
    xlabel = "chromosome" if opt.map_path else "chromosome (record number within it)"
    leads = _leads(found, study, result) if opt.map_path else None
    key = plots.manhattan(out("manhattan.png"), study.p, study.codes, study.pos, study.chroms,
                          xlabel, opt.threshold, leads)
    images.append(("manhattan.png", "Manhattan plot of the combined p-values", key))
    if result:
        images += result.draw(out, xlabel, leads)
    with open(out("summary.json"), "w") as f:
        json.dump(summary, f, indent=1)
        f.write("\n")
    pictures = {}
    for name, caption, key in images:
        with open(out(name), "rb") as f:
            pictures[name] = (f.read(), caption, key)
    source = f"{opt.results}" + (f" with the map {opt.map_path}" if opt.map_path
                                 else ", no variant map") \
        + (f", the run in {opt.run_dir}" if opt.run_dir is not None else ", no run (--no-run)") \
        + f"; {summary['program']}"
    with open(out("report.html"), "w", encoding="utf-8") as f:
        f.write(page.render(summary, opt.title, source, pictures, rows))
    return summary


def _leads(found: List[loci_mod.Locus], study: Study, result: Any) -> Any:
    """The loci's leads for the genome-wide plots, strongest first."""
    from .plots import Leads

    rec = study.acc.records
    assert rec is not None
    at = np.array([lc.lead for lc in found], np.int64)
    return Leads(rec.codes[at], rec.pos[at], rec.p[at],
                 result.best[at] if result else np.full(len(at), np.nan),
                 [study.acc.significant[lc.lead]["id"] for lc in found],
                 np.array([lc.novel for lc in found], bool) if result else None)


__all__ = ["Options", "run", "FormatError", "where"]
