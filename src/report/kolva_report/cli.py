"""The kolva-report command."""
import argparse
import os
import sys
from typing import List, NoReturn

from . import settings
from .formats import FormatError

USAGE = ("kolva-report [--map variants.tsv.gz] [--run DIR | --no-run] [--null-draws K] "
         "[--seed S] [--threshold P] [--window BP] [-o OUTDIR] [--title TEXT] RESULTS")
MAP_NAME = "variants.tsv.gz"
DRAWS, SEED, THRESHOLD, WINDOW = (settings.NULL_DRAWS, settings.SEED, settings.THRESHOLD,
                                  settings.WINDOW)

DESCRIPTION = f"""\
Turns a Kolva result file into a table other tools read (results.tsv.gz,
and results.ssf.tsv.gz in the GWAS-SSF layout with a map), a summary
(summary.json), the loci (loci.tsv), plots and one page with all of it
(report.html), written to OUTDIR (default: beside RESULTS).

It also reads the run behind the results (default: the folder of RESULTS):
defdims, the p-value and correlation files and phenotypes.txt. From them
come lambda against the method's own null (null draws pushed through the
engine), each trait's lambda GC, the traits that carry each locus and
whether only combining found it. --no-run reports the result file alone.

Without --map, {MAP_NAME} beside RESULTS is used when it exists; without
any map the position is the record's number within its chromosome, and
there are no loci."""


class _UsageError(Exception):
    pass


class _Parser(argparse.ArgumentParser):
    def error(self, message: str) -> NoReturn:
        raise _UsageError(message)


def _positive_int(text: str) -> int:
    v = int(text)
    if v < 0:
        raise ValueError(text)
    return v


def _probability(text: str) -> float:
    v = float(text)
    if not 0 < v < 1:
        raise ValueError(text)
    return v


def _parser(version: str) -> _Parser:
    p = _Parser(prog="kolva-report", usage=USAGE, description=DESCRIPTION,
                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("results", metavar="RESULTS", help="a Kolva result file")
    p.add_argument("--map", metavar="FILE",
                   help=f"the {MAP_NAME} kolva-prep wrote for the run (line i is record i)")
    run = p.add_mutually_exclusive_group()
    run.add_argument("--run", metavar="DIR", help="the run folder (default: that of RESULTS)")
    run.add_argument("--no-run", action="store_true",
                     help="report the result file alone: no null draws, traits or novelty")
    p.add_argument("--null-draws", metavar="K", type=_positive_int, default=DRAWS,
                   help=f"null variants drawn for lambda_method (default {DRAWS:,}; 0: none)")
    p.add_argument("--seed", metavar="S", type=_positive_int, default=SEED,
                   help=f"seed of the null draws (default {SEED})")
    p.add_argument("--threshold", metavar="P", type=_probability, default=THRESHOLD,
                   help=f"significance of a combined p (default {THRESHOLD:g})")
    p.add_argument("--window", metavar="BP", type=_positive_int, default=WINDOW,
                   help=f"half-width of a locus around its lead (default {WINDOW:,})")
    p.add_argument("-o", dest="outdir", metavar="OUTDIR", help="where the outputs go")
    p.add_argument("--title", metavar="TEXT", help="the title of the page")
    p.add_argument("--version", action="version", version=f"kolva-report {version}")
    return p


def main(argv: List[str], version: str) -> int:
    try:
        args = _parser(version).parse_args(argv)
    except _UsageError as e:
        print(f"kolva-report: {e}; usage: {USAGE} (kolva-report --help)", file=sys.stderr)
        return 64
    except SystemExit as e:  # --help, --version
        return int(e.code or 0)
    from .engine import EngineMissing
    from .runfolder import RunMissing

    where = os.path.dirname(args.results) or "."
    map_path = args.map
    if map_path is None and os.path.isfile(os.path.join(where, MAP_NAME)):
        map_path = os.path.join(where, MAP_NAME)
    try:
        from . import report  # loads the engine's module, which reads kolva's files
        opt = report.Options(
            results=args.results, map_path=map_path, outdir=args.outdir or where,
            title=args.title or f"Kolva report: {args.results}", version=version,
            run_dir=None if args.no_run else (args.run or where), null_draws=args.null_draws,
            seed=args.seed, threshold=args.threshold, window=args.window)
        s = report.run(opt)
    except (FormatError, EngineMissing, RunMissing) as e:
        print(f"kolva-report: {e}", file=sys.stderr)
        return 1
    except OSError as e:
        name = f"{e.filename}: " if e.filename else ""
        print(f"kolva-report: {name}{e.strerror or e}", file=sys.stderr)
        return 1
    lam = "n/a" if s["lambda_gc"] is None else f"{s['lambda_gc']:.4f}"
    used = f" (map {map_path})" if map_path else ""
    method = "" if s.get("lambda_method") is None else f", lambda_method {s['lambda_method']:.4f}"
    loci = "" if s.get("loci") is None else f", {s['loci']} loci"
    print(f"kolva-report: {s['variants']} variants{used}, {s['tested']} tested, "
          f"lambda_GC {lam}{method}{loci}; wrote {os.path.join(opt.outdir, 'report.html')}")
    return 0


def console() -> int:
    """The entry point of an installed package (pyproject.toml)."""
    from importlib.metadata import PackageNotFoundError, version
    try:
        v = version("kolva")
    except PackageNotFoundError:
        v = "unknown"
    return main(sys.argv[1:], v)
