"""The kolva-report command."""
import argparse
import json
import os
import sys

from .records import FormatError

USAGE = "kolva-report [--map variants.tsv.gz] [-o OUTDIR] [--title TEXT] RESULTS"
OUTPUTS = ("results.tsv.gz", "summary.json", "qq.png", "manhattan.png", "report.html")
MAP_NAME = "variants.tsv.gz"

DESCRIPTION = f"""\
Turns a Kolva result file into a table other tools read (results.tsv.gz),
a summary with the genomic inflation and the top variants (summary.json),
a QQ plot (qq.png), a Manhattan plot (manhattan.png) and one page with all
of it (report.html), written to OUTDIR (default: beside RESULTS).

Without --map, {MAP_NAME} beside RESULTS is used when it exists; without
any map the position is the record's number within its chromosome."""


class _UsageError(Exception):
    pass


class _Parser(argparse.ArgumentParser):
    def error(self, message):
        raise _UsageError(message)


def _parser(version):
    p = _Parser(prog="kolva-report", usage=USAGE, description=DESCRIPTION,
                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("results", metavar="RESULTS", help="a Kolva result file")
    p.add_argument("--map", metavar="FILE",
                   help=f"the {MAP_NAME} kolva-prep wrote for the run (line i is record i)")
    p.add_argument("-o", dest="outdir", metavar="OUTDIR", help="where the outputs go")
    p.add_argument("--title", metavar="TEXT", help="the title of the page")
    p.add_argument("--version", action="version", version=f"kolva-report {version}")
    return p


def main(argv, version):
    try:
        args = _parser(version).parse_args(argv)
    except _UsageError as e:
        print(f"kolva-report: {e}; usage: {USAGE} (kolva-report --help)", file=sys.stderr)
        return 64
    except SystemExit as e:  # --help, --version
        return e.code
    where = os.path.dirname(args.results) or "."
    map_path = args.map
    if map_path is None and os.path.isfile(os.path.join(where, MAP_NAME)):
        map_path = os.path.join(where, MAP_NAME)
    outdir = args.outdir or where
    title = args.title or f"Kolva report: {args.results}"
    try:
        s = run(args.results, map_path, outdir, title, version)
    except FormatError as e:
        print(f"kolva-report: {e}", file=sys.stderr)
        return 1
    except OSError as e:
        name = f"{e.filename}: " if e.filename else ""
        print(f"kolva-report: {name}{e.strerror or e}", file=sys.stderr)
        return 1
    lam = "n/a" if s["lambda_gc"] is None else f"{s['lambda_gc']:.4f}"
    used = f" (map {map_path})" if map_path else ""
    print(f"kolva-report: {s['variants']} variants{used}, {s['tested']} tested, "
          f"lambda_GC {lam}; wrote {os.path.join(outdir, 'report.html')}")
    return 0


def run(results, map_path, outdir, title, version):
    """Writes every output under a temporary name and renames them all at
    the end: a failure leaves nothing under the final names."""
    os.makedirs(outdir, exist_ok=True)
    tmp = {name: os.path.join(outdir, f".{name}.{os.getpid()}.tmp") for name in OUTPUTS}
    try:
        summary = _write(results, map_path, tmp, title, version)
        for name in OUTPUTS:
            os.replace(tmp[name], os.path.join(outdir, name))
    except BaseException:
        for t in tmp.values():
            if os.path.exists(t):
                os.remove(t)
        raise
    return summary


def _read(results, map_path, tsv, chroms, acc):
    from . import records, table
    from .genome import WithinChrom
    from .mapfile import MapReader

    mp = MapReader(map_path) if map_path else None
    within = WithinChrom()
    try:
        with open(results, "rb") as f:
            for rec in records.read(f, results):
                if mp:
                    m = mp.next(rec, results)
                    codes, pos, row = chroms.codes(m.chrom), m.pos, m.row
                    tsv.write(table.rows_from_map(m, rec))
                else:
                    codes = chroms.codes(rec.chrom)
                    pos = within.number(codes)
                    tsv.write(table.rows_from_records(rec, pos))

                    def row(i, rec=rec, pos=pos):
                        return (rec.chrom[i].tobytes().decode("utf-8", "replace").strip(),
                                pos[i], rec.ident[i].tobytes().decode("utf-8", "replace").strip())
                acc.add(rec, codes, pos, row)
        if mp:
            mp.finish(acc.counts["variants"], results)
    finally:
        if mp:
            mp.close()


def _write(results, map_path, tmp, title, version):
    # numpy, scipy and matplotlib load only here: --help answers at once.
    from . import page, plots, table
    from .genome import ChromTable
    from .stats import Accumulator

    chroms, acc = ChromTable(), Accumulator()
    tsv = table.GzWriter(tmp["results.tsv.gz"])
    try:
        _read(results, map_path, tsv, chroms, acc)
    finally:
        tsv.close()
    summary, sorted_p, p, codes, pos = acc.finish()
    summary = {"program": f"kolva-report {version}", "results": results, "map": map_path,
               **summary}
    plots.qq(tmp["qq.png"], sorted_p, summary["lambda_gc"])
    xlabel = "chromosome" if map_path else "chromosome (record number within it)"
    plots.manhattan(tmp["manhattan.png"], p, codes, pos, chroms, xlabel)
    with open(tmp["summary.json"], "w") as f:
        json.dump(summary, f, indent=1)
        f.write("\n")
    images = {}
    for name, caption in (("qq.png", "QQ plot"), ("manhattan.png", "Manhattan plot")):
        with open(tmp[name], "rb") as f:
            images[name] = (f.read(), caption)
    source = f"{results}" + (f" with the map {map_path}" if map_path else ", no variant map") \
        + f"; {summary['program']}"
    with open(tmp["report.html"], "w", encoding="utf-8") as f:
        f.write(page.render(summary, title, source, images))
    return summary
