"""report.html: one page that needs nothing else (images embedded)."""
import base64
from html import escape
from typing import Dict, List, Optional, Tuple

_STYLE = """
body { font-family: system-ui, sans-serif; margin: 2em auto; max-width: 1240px;
       padding: 0 1em; color: #222; overflow-wrap: anywhere; }
h1 { font-size: 1.5em; margin-bottom: 0.2em; }
p.source { color: #555; margin-top: 0; }
table { border-collapse: collapse; margin: 1em 0; }
td, th { padding: 0.25em 0.8em; border-bottom: 1px solid #ddd; text-align: left; }
thead th { border-bottom: 2px solid #999; }
td.num, th.num { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap;
                 overflow-wrap: normal; }
.wide { overflow-x: auto; }
.wide td, .wide th { overflow-wrap: normal; white-space: nowrap; }
figure { margin: 1.5em 0; }
.regional figure { display: inline-block; vertical-align: top; margin: 0.5em 0.8em 0.5em 0; }
figure img { max-width: 100%; height: auto; border: 1px solid #eee; }
figcaption { color: #555; font-size: 0.9em; }
@media (max-width: 480px) {
  body { margin: 1em auto; padding: 0 0.5em; }
  td, th { padding: 0.2em 0.4em; }
}
@page { margin: 15mm; }
@media print {
  body { max-width: none; margin: 0; padding: 0; color: #000; font-size: 10pt; }
  h2 { break-after: avoid; }
  figure, tr { break-inside: avoid; }
  figure img { border: none; }
  .wide { overflow: visible; }
  .loci td, .loci th { font-size: 7pt; padding: 0.1em 0.2em; white-space: normal;
                       overflow-wrap: anywhere; }
  .loci .trait { display: none; }  /* the leads' own p: in loci.tsv */
  thead { display: table-header-group; }
}
"""


PAGE_LOCI = 100  # rows of the loci table on the page (loci.tsv has all)

# Nothing outside the page loads: images are data: URLs, styles inline.
CSP = ("default-src 'none'; img-src data:; style-src 'unsafe-inline'; "
       "base-uri 'none'; form-action 'none'")


def _num(v: object) -> str:
    return f"{v:,}" if isinstance(v, int) else escape(str(v))


def _p(v: Optional[float]) -> str:
    return "n/a" if v is None else f"{v:.3g}"


def _png_size(data: bytes) -> Tuple[int, int]:
    """Width and height from a PNG's header."""
    return int.from_bytes(data[16:20], "big"), int.from_bytes(data[20:24], "big")


def _image(name: str, data: bytes, caption: str, alt: str) -> str:
    b64 = base64.b64encode(data).decode("ascii")
    w, h = _png_size(data)
    anchor = name.removesuffix(".png")
    return (f'<figure id="{anchor}"><img src="data:image/png;base64,{b64}" '
            f'width="{w}" height="{h}" '
            f'alt="{escape(alt)}"><figcaption>{escape(caption)} ({name})</figcaption></figure>')


def _alt(name: str, s: Dict, lam: str) -> str:
    """What a plot shows, for readers who do not see it."""
    if name == "qq.png":
        return (f"QQ plot: observed against expected -log10 p of the {s['tested']:,} tested "
                f"variants, with the 95 % band under the null; lambda GC {lam}")
    if name == "miami.png":
        return ("Miami plot: -log10 of the combined p along the chromosomes above, of the "
                "best single trait's p of the same variants below")
    if name == "correlation.png":
        return ("Heatmap: the phenotype correlation matrix of the run, with the "
                "phenotype names and each correlation written in its cell")
    if name.startswith("regional_"):
        return (f"Regional plot of locus {name[9:-4]}: -log10 p of the combined p and of "
                "each carrying trait's own p over the locus and its window")
    if name == "manhattan.png":
        return (f"Manhattan plot: -log10 p of the {s['variants']:,} variants along the "
                f"chromosomes, lines at p = 5e-8 ({s['below_5e-8']:,} below) and 1e-5 "
                f"({s['below_1e-5']:,} below); smallest p {_p(s['smallest_p'])}")
    return name


WHY_LOW = (
    "The combined p-value is the smallest trait p-value scaled by M/M(j), so under no "
    "association its bulk is not uniform: with correlated traits it piles up at larger "
    "values, and the classic &lambda;<sub>GC</sub>, a median, reads below 1 for a study "
    "with no inflation at all. &lambda;<sub>method</sub> sets the study's median against "
    "that of the method's own null (variants drawn with this run's correlation and missing "
    "values and pushed through the engine), so 1 means no inflation and the QQ plot's "
    "diagonal is that null.")


def _lam(v: Optional[float]) -> str:
    return "n/a" if v is None else f"{v:.4f}"


def _run_tables(s: Dict) -> str:
    """Per-trait lambda GC and the tail counts (with the run only)."""
    if "lambda_gc_traits" not in s:
        return ""
    traits = "".join(f'<tr><td>{escape(k)}</td><td class="num">{_lam(v)}</td></tr>\n'
                     for k, v in s["lambda_gc_traits"].items())
    tails = "".join(
        f'<tr><td class="num">{t["below"]:g}</td><td class="num">{t["observed"]:,}</td>'
        f'<td class="num">{t["expected"]:,.1f}</td><td>{escape(t["expected_from"])}</td></tr>\n'
        for t in s["tail_counts"])
    n = s["null"]
    clip = "" if n["clipped_eigenvalue"] is None else (
        f' The correlation matrix is not positive semi-definite (smallest eigenvalue '
        f'{n["clipped_eigenvalue"]:.3g}); its negative eigenvalues were set to 0 for the draws.')
    draws = f"{n['draws']:,} null draws" if n["draws"] else "No null draws (--null-draws 0)"
    return f"""<h2>Inflation against the method's null</h2>
<p class="why">{WHY_LOW}</p>
<p>{draws} (seed {n["seed"]}, {escape(n["generator"])};
each p = 2&Phi;(&minus;|z|)
with z ~ MVN(0, R) and the missing values of a study variant drawn at random).{clip}
M of the whole matrix: {s["m_study"]:.4f}.</p>
<div class="wide"><table class="tails"><thead><tr><th scope="col" class="num">p below</th>
<th scope="col" class="num">observed</th><th scope="col" class="num">expected</th>
<th scope="col">expected from</th></tr></thead><tbody>
{tails}</tbody></table></div>
<div class="wide"><table class="traits"><thead><tr><th scope="col">trait</th>
<th scope="col" class="num">&lambda;<sub>GC</sub> of its own p</th></tr></thead><tbody>
{traits}</tbody></table></div>
"""


def _loci(s: Dict, loci: List[Dict]) -> str:
    if s.get("loci") is None:
        return ("<h2>Loci</h2>\n<p>No variant map: without positions there are no loci "
                "(give kolva-prep's variants.tsv.gz with --map).</p>\n")
    if not loci:
        return (f"<h2>Loci</h2>\n<p>No variant has a combined p below "
                f"{s['threshold']:g}.</p>\n")
    names = [c[2:] for c in loci[0] if c.startswith("p_")]
    more = (f"<p>The strongest {PAGE_LOCI} of {len(loci):,} loci; loci.tsv has all.</p>\n"
            if len(loci) > PAGE_LOCI else "")
    head = "".join(f'<th scope="col" class="num trait">p_{escape(c)}</th>' for c in names)
    rows = []
    for r in loci[:PAGE_LOCI]:
        link = (f'<a href="#{r["regional"].removesuffix(".png")}">{r["locus"]}</a>'
                if "regional" in r else str(r["locus"]))
        novel = {1: "yes", 0: "no"}.get(r["novel"], "n/a")
        cells = "".join(f'<td class="num trait">{escape(r["p_" + c])}</td>' for c in names)
        rows.append(
            f'<tr><td class="num">{link}</td><td>{escape(r["chrom"])}</td>'
            f'<td class="num">{r["start"]}</td><td class="num">{r["end"]}</td>'
            f'<td>{escape(r["lead_id"])}</td><td class="num">{r["lead_pos"]}</td>'
            f'<td>{escape(r["allele1"])}</td><td>{escape(r["allele2"])}</td>'
            f'<td class="num">{escape(r["p"])}</td><td class="num">{r["n_significant"]}</td>'
            f'<td>{escape(r["carrying_traits"])}</td><td>{novel}</td>{cells}</tr>\n')
    return f"""<h2>Loci</h2>
<p>A locus is led by its smallest combined p and takes every significant variant
(p &lt; {s["threshold"]:g}) within {s["window"]:,} bases of the lead; carrying traits are
those the method ranked before the attaining step; a novel locus has no variant within the
window whose best single-trait p is below {s["threshold"]:g} / M, found only by combining.</p>
<div class="wide"><table class="loci"><thead><tr>
<th scope="col" class="num">locus</th><th scope="col">chrom</th>
<th scope="col" class="num">start</th><th scope="col" class="num">end</th>
<th scope="col">lead_id</th><th scope="col" class="num">lead_pos</th>
<th scope="col">allele1</th><th scope="col">allele2</th><th scope="col" class="num">p</th>
<th scope="col" class="num">n_significant</th><th scope="col">carrying_traits</th>
<th scope="col">novel</th>{head}</tr></thead><tbody>
{"".join(rows)}</tbody></table></div>
{more}"""


def render(summary: Dict, title: str, source: str, images: Dict[str, Tuple[bytes, str]],
           loci: Optional[List[Dict]] = None) -> str:
    """The page as text; images maps file names to (PNG bytes, caption).
    Each summary row carries its summary.json key in data-key."""
    s = summary
    lam = _lam(s["lambda_gc"])
    facts = [
        ("variants", "variants", _num(s["variants"])),
        ("tested", "tested (two or more present p-values)", _num(s["tested"])),
        ("fewer_than_two_present", "fewer than two present p-values (-9.00)",
         _num(s["fewer_than_two_present"])),
        ("p_asterisks", "p-value shown as asterisks (a negative value)", _num(s["p_asterisks"])),
        ("p_not_a_number", "p-value NaN or infinite", _num(s["p_not_a_number"])),
        ("p_above_1", "p-value above 1", _num(s["p_above_1"])),
        ("lambda_gc", "&lambda;<sub>GC</sub> (classic, against uniform p)", lam),
        ("below_5e-8", "p &lt; 5e-8", _num(s["below_5e-8"])),
        ("below_1e-5", "p &lt; 1e-5", _num(s["below_1e-5"])),
        ("smallest_p", "smallest p", _p(s["smallest_p"])),
    ]
    if "lambda_method" in s:
        facts.insert(7, ("lambda_method", "&lambda;<sub>method</sub> (against the method's "
                                          "null)", _lam(s["lambda_method"])))
    if s.get("loci") is not None:
        facts.append(("loci", "loci", _num(s["loci"])))
    if s.get("novel_loci") is not None:
        facts.append(("novel_loci", "loci found only by combining", _num(s["novel_loci"])))
    rows = "".join(f'<tr data-key="{key}"><th scope="row">{k}</th><td class="num">{v}</td></tr>\n'
                   for key, k, v in facts)
    hits = "".join(
        f'<tr><td class="num">{i}</td><td>{escape(t["chrom"])}</td>'
        f'<td class="num">{t["pos"]:,}</td><td>{escape(t["id"])}</td>'
        f'<td class="num">{t["n_present"]}</td><td class="num">{_p(t["p"])}</td></tr>\n'
        for i, t in enumerate(s["top"], 1))
    main = [n for n in images if not n.startswith("regional_") and n != "correlation.png"]
    figures = "\n".join(_image(name, *images[name], _alt(name, s, lam)) for name in main)
    regional = "\n".join(_image(name, *images[name], _alt(name, s, lam))
                         for name in images if name.startswith("regional_"))
    heat = _image("correlation.png", *images["correlation.png"],
                  _alt("correlation.png", s, lam)) if "correlation.png" in images else ""
    return f"""<!DOCTYPE html>
<html lang="en">
<head><meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="{CSP}">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{escape(title)}</title>
<style>{_STYLE}</style></head>
<body>
<h1>{escape(title)}</h1>
<p class="source">{escape(source)}</p>
<h2>Summary</h2>
<table class="summary"><tbody>
{rows}</tbody></table>
{_run_tables(s)}<h2>Plots</h2>
{figures}
{_loci(s, loci or [])}<div class="regional">{regional}</div>
{"<h2>Phenotypes</h2>" + heat if heat else ""}
<h2>Top {len(s["top"])} variants</h2>
<div class="wide"><table class="top">
<thead><tr><th scope="col" class="num">#</th><th scope="col">chrom</th>
<th scope="col" class="num">pos</th><th scope="col">id</th>
<th scope="col" class="num">present</th><th scope="col" class="num">p</th></tr></thead>
<tbody>
{hits}</tbody>
</table></div>
</body>
</html>
"""
