"""report.html: one page that needs nothing else (images embedded). Every
p-value on it is written short (three significant digits, pvalues.short),
its exact digits in the cell's tooltip."""
import base64
from html import escape
from typing import Dict, List, Optional, Tuple

import numpy as np

from .pvalues import NEG_LOG10_ZERO, ZERO_TEXT, exact, short

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
table.loci { width: 100%; font-size: 0.92em; overflow-wrap: normal; }
table.loci td, table.loci th { padding: 0.25em 0.45em; vertical-align: top; }
table.loci td { white-space: nowrap; }
table.loci th { white-space: normal; }
table.loci td.assoc, table.loci td.carry { white-space: normal; min-width: 6em; }
table.loci td.lead { white-space: normal; overflow-wrap: break-word; max-width: 14em; }
details summary { cursor: pointer; white-space: nowrap; }
table.pertrait { margin: 0.3em 0; font-size: 0.9em; }
table.pertrait td, table.pertrait th { padding: 0.1em 0.4em; }
table.pertrait td.num { white-space: nowrap; }
figcaption .key { display: block; }
ul.meaning li { margin: 0.3em 0; }
figure { margin: 1.5em 0; }
.regional { display: flex; flex-wrap: wrap; column-gap: 0.8em; }
.regional figure { flex: 0 1 602px; min-width: 0; margin: 0.5em 0; }  /* image and border */
figure img { max-width: 100%; height: auto; border: 1px solid #eee; }
figcaption { color: #555; font-size: 0.9em; }
@media (max-width: 480px) {
  body { margin: 1em auto; padding: 0 0.5em; }
  td, th { padding: 0.2em 0.4em; }
}
/* A narrow window: each locus a block of labelled lines. */
@media (max-width: 760px) {
  table.loci, table.loci > tbody, table.loci > tbody > tr, table.loci > tbody > tr > td {
    display: block; width: auto; }
  table.loci > thead { display: none; }
  table.loci > tbody > tr { border-bottom: 2px solid #999; padding: 0.4em 0; }
  table.loci > tbody > tr > td { border: none; text-align: left; padding: 0.1em 0.3em;
                                 min-width: 0; }
  table.loci > tbody > tr > td::before { content: attr(data-label) ": "; font-weight: 600; }
  table.loci > tbody > tr > td.pertrait::before { content: none; }
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
  thead { display: table-header-group; }
}
"""


PAGE_LOCI = 100  # rows of the loci table on the page (loci.tsv has all)

# Nothing outside the page loads: images are data: URLs, styles inline.
CSP = ("default-src 'none'; img-src data:; style-src 'unsafe-inline'; "
       "base-uri 'none'; form-action 'none'")


def _num(v: object) -> str:
    return f"{v:,}" if isinstance(v, int) else escape(str(v))


def level(v: float) -> str:
    """A level such as the threshold, in scientific form (5e-08, 1.47e-08)."""
    return np.format_float_scientific(v, precision=2, trim="-", exp_digits=2)


def _png_size(data: bytes) -> Tuple[int, int]:
    """Width and height from a PNG's header."""
    return int.from_bytes(data[16:20], "big"), int.from_bytes(data[20:24], "big")


def _image(name: str, data: bytes, caption: str, key: List[str], alt: str) -> str:
    b64 = base64.b64encode(data).decode("ascii")
    w, h = _png_size(data)
    anchor = name.removesuffix(".png")
    legend = (f'<span class="key">Legend: {"; ".join(escape(k) for k in key)}.</span>'
              if key else "")
    return (f'<figure id="{anchor}"><img src="data:image/png;base64,{b64}" '
            f'width="{w}" height="{h}" alt="{escape(alt)}"><figcaption>{escape(caption)} '
            f'({name}).{legend}</figcaption></figure>')


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
                "each associated trait's own p over the locus and its window")
    if name == "manhattan.png":
        return (f"Manhattan plot: -log10 p of the {s['variants']:,} variants along the "
                f"chromosomes, lines at p = {level(s['threshold'])} and 1e-05 "
                f"({s['below_1e-5']:,} below 1e-05), the loci's leads marked; smallest p "
                f"{short(s['smallest_p'])}")
    return name


WHY_LOW = (
    "The combined p-value is the smallest of the trait p-values scaled by M/M(j), so under no "
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
    zeros = s.get("p_zero_traits", {})
    traits = "".join(f'<tr><td>{escape(k)}</td><td class="num">{_lam(v)}</td>'
                     f'<td class="num">{zeros.get(k, 0):,}</td></tr>\n'
                     for k, v in s["lambda_gc_traits"].items())
    tails = "".join(
        f'<tr><td class="num">{level(t["below"])}</td><td class="num">{t["observed"]:,}</td>'
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
M of all {len(s["phenotypes"])} traits together: {s["m_study"]:.4f}.</p>
<div class="wide"><table class="tails"><thead><tr><th scope="col" class="num">p below</th>
<th scope="col" class="num">observed</th><th scope="col" class="num">expected</th>
<th scope="col">expected from</th></tr></thead><tbody>
{tails}</tbody></table></div>
<div class="wide"><table class="traits"><thead><tr><th scope="col">trait</th>
<th scope="col" class="num">&lambda;<sub>GC</sub> of its own p</th>
<th scope="col" class="num">p = 0</th></tr></thead><tbody>
{traits}</tbody></table></div>
"""


def _definitions() -> str:
    """What a combined p-value is, with M and M(j) defined, where the page
    first needs them."""
    return """<p class="defs">How a variant's combined p-value is made: its n present trait
p-values, sorted p(1) &le; &hellip; &le; p(n), each scaled by M/M(j), and the smallest taken:
p = min over j of (M/M(j))&middot;p(j). <b>M</b> is the effective number of independent tests
among those n traits: n, less the amount by which the eigenvalues of their correlation (turned
into a correlation of p-values) exceed 1; <b>M(j)</b> is the same for the j traits with the
smallest p-values, so M(1) = 1 and M(n) = M. Since M(j) &le; M, a combined p-value is never
below the smallest single-trait p-value of its variant.</p>
"""


def _zeros(s: Dict) -> str:
    """A sentence on p = 0, when the results or the p-value file hold any."""
    traits = {k: v for k, v in (s.get("p_zero_traits") or {}).items() if v}
    if not s.get("p_zero") and not traits:
        return ""
    per = "; in the p-value file: " + ", ".join(f"{escape(k)} {v:,}" for k, v in traits.items()) \
        if traits else ""
    return (f'<p class="zeros">p = 0 stands for a p-value below the smallest double '
            f'({escape(ZERO_TEXT[2:])}), whose exact value was lost: {s.get("p_zero", 0):,} '
            f'combined p-values{per}. They count as the smallest p-values (for the loci and '
            f"their traits), are written {escape(ZERO_TEXT)} on this page, get &minus;log10 p "
            f"= {NEG_LOG10_ZERO:.6f} (that of the smallest double) in the tables, and are "
            f"drawn at the top of each plot with a marker of their own.</p>\n")


def _pcell(text: object, label: str = "p") -> str:
    """A p-value cell: short on the page, the exact value in its tooltip."""
    v = text if isinstance(text, (str, float)) else None
    title = exact(v)
    tip = f' title="{escape(title)}"' if title else ""
    return f'<td class="num" data-label="{label}"{tip}>{short(v)}</td>'


def _traits_cell(r: Dict, names: List[str], threshold: float) -> str:
    """The per-trait p-values of a locus, folded: at the lead, and the
    smallest in the window for the associated traits."""
    window = dict(r.get("associated") or [])
    rows = []
    for name in names:
        text = r["p_" + name]
        at_lead = _pcell(text, "at the lead")
        low = _pcell(window[name], "smallest nearby") if name in window else \
            f'<td data-label="smallest nearby">not below {level(threshold)}</td>'
        rows.append(f"<tr><th scope=\"row\">{escape(name)}</th>{at_lead}{low}</tr>")
    return (f'<td class="pertrait" data-label="trait p-values"><details><summary>p of all '
            f'{len(names)} traits</summary><table class="pertrait"><thead><tr>'
            f'<th scope="col">trait</th><th scope="col" class="num">p at the lead</th>'
            f'<th scope="col" class="num">smallest nearby</th></tr></thead>'
            f'<tbody>{"".join(rows)}</tbody></table></details></td>')


def _span(start: int, end: int) -> str:
    return f"{start:,}" if start == end else f"{start:,}&ndash;<wbr>{end:,}"


def _loci(s: Dict, loci: List[Dict]) -> str:
    if s.get("loci") is None:
        return ("<h2>Loci</h2>\n<p>No variant map: without positions there are no loci "
                "(give kolva-prep's variants.tsv.gz with --map).</p>\n")
    t = level(s["threshold"])
    if not loci:
        return f"<h2>Loci</h2>\n<p>No variant has a combined p below {t}.</p>\n"
    names = [c[2:] for c in loci[0] if c.startswith("p_")]
    more = (f"<p>The strongest {PAGE_LOCI} of {len(loci):,} loci; loci.tsv has all.</p>\n"
            if len(loci) > PAGE_LOCI else "")
    run = "m_study" in s
    rows = []
    for r in loci[:PAGE_LOCI]:
        link = (f'<a href="#{r["regional"].removesuffix(".png")}">{r["locus"]}</a>'
                if "regional" in r else str(r["locus"]))
        novel = {1: "yes", 0: "no"}.get(r["novel"], "n/a")
        traits = {k: escape(r[k].replace(",", ", ")) if run else "n/a"
                  for k in ("associated_traits", "carrying_traits")}
        rows.append(
            f'<tr><td class="num" data-label="locus">{link}</td>'
            f'<td data-label="region">{escape(r["chrom"])}:{_span(r["start"], r["end"])}</td>'
            f'<td class="lead" data-label="lead">{escape(r["lead_id"])}</td>'
            f'<td class="num" data-label="lead position">{r["lead_pos"]:,}</td>'
            f'<td data-label="alleles">{escape(r["allele1"])}/{escape(r["allele2"])}</td>'
            f'{_pcell(r["p"])}'
            f'<td class="num" data-label="significant variants">{r["n_significant"]:,}</td>'
            f'<td class="assoc" data-label="associated traits">{traits["associated_traits"]}</td>'
            f'<td class="carry" data-label="carrying traits">{traits["carrying_traits"]}</td>'
            f'<td class="novel" data-label="only by combining">{novel}</td>'
            + (_traits_cell(r, names, s["threshold"]) if names else "") + "</tr>\n")
    if run:
        m = s["m_study"]
        meaning = f"""<ul class="meaning">
<li><b>Associated traits</b>: the traits significant on their own (own p &lt; {t}) at some
variant in the locus or within {s["window"]:,} bases of it, strongest first.</li>
<li><b>Carrying traits</b>: the traits whose p-values the method's minimum used at the lead,
that is its j smallest trait p-values, j being the step at which (M/M(j))&middot;p(j) is
smallest. One carrying trait means the lead's best single trait alone gave its combined p;
other traits may still be associated.</li>
<li><b>Only by combining</b>: the combined p-value is never below the smallest single-trait
p-value, so what combining adds is measured against single-trait scans corrected for the
number of traits, here M = {m:.2f} (M of all {len(s["phenotypes"])} traits). A locus counts as
found only by combining when its best single-trait p-value (over the locus and
{s["window"]:,} bases around it) lies between {t} / M = {level(s["threshold"] / m)} and
{t}: a single-trait scan corrected for the {m:.2f} traits would have missed it.</li>
</ul>
"""
    else:
        meaning = ("<p>Without the run (--no-run) the traits of a locus and its novelty are "
                   "not known.</p>\n")
    head = "".join(f'<th scope="col"{c}>{h}</th>' for h, c in (
        ("locus", ' class="num"'), ("region", ""), ("lead", ""), ("lead position", ' class="num"'),
        ("alleles", ""), ("p", ' class="num"'), ("significant variants", ' class="num"'),
        ("associated traits", ""), ("carrying traits", ""), ("only by combining", "")))
    if names:
        head += '<th scope="col">trait p-values</th>'
    return f"""<h2>Loci</h2>
<p>A locus is led by its smallest combined p-value and takes every significant variant
(combined p &lt; {t}) within {s["window"]:,} bases of the lead; its region runs from the first
to the last of them. The lead's p-value is written short; hover over it for its exact digits
(loci.tsv has them too).</p>
{meaning}<div class="lociwrap"><table class="loci"><thead><tr>{head}</tr></thead><tbody>
{"".join(rows)}</tbody></table></div>
{more}"""


def render(summary: Dict, title: str, source: str,
           images: Dict[str, Tuple[bytes, str, List[str]]],
           loci: Optional[List[Dict]] = None) -> str:
    """The page as text; images maps file names to (PNG bytes, caption,
    legend entries). Each summary row carries its summary.json key in data-key."""
    s = summary
    lam = _lam(s["lambda_gc"])
    smallest = s["top"][0]["p_text"] if s["top"] else None
    facts = [
        ("variants", "variants", _num(s["variants"])),
        ("tested", "tested (two or more present p-values)", _num(s["tested"])),
        ("fewer_than_two_present", "fewer than two present p-values (-9.00)",
         _num(s["fewer_than_two_present"])),
        ("p_asterisks", "p-value shown as asterisks (a negative value)", _num(s["p_asterisks"])),
        ("p_not_a_number", "p-value NaN or infinite", _num(s["p_not_a_number"])),
        ("p_above_1", "p-value above 1", _num(s["p_above_1"])),
        ("lambda_gc", "&lambda;<sub>GC</sub> (classic, against uniform p)", lam),
        ("below_5e-8", "p &lt; 5e-08", _num(s["below_5e-8"])),
        ("below_1e-5", "p &lt; 1e-05", _num(s["below_1e-5"])),
        ("smallest_p", "smallest p", short(smallest)),
        ("p_zero", f"p = 0 (below the smallest double, written {escape(ZERO_TEXT)})",
         _num(s["p_zero"])),
    ]
    if "lambda_method" in s:
        facts.insert(7, ("lambda_method", "&lambda;<sub>method</sub> (against the method's "
                                          "null)", _lam(s["lambda_method"])))
    if s.get("loci") is not None:
        facts.append(("loci", "loci", _num(s["loci"])))
    if s.get("novel_loci") is not None:
        facts.append(("novel_loci", "loci found only by combining", _num(s["novel_loci"])))
    tips = {"smallest_p": exact(smallest)}
    rows = "".join(f'<tr data-key="{key}"><th scope="row">{k}</th><td class="num"'
                   + (f' title="{escape(tips[key] or "")}"' if tips.get(key) else "")
                   + f">{v}</td></tr>\n" for key, k, v in facts)
    hits = "".join(
        f'<tr><td class="num">{i}</td><td>{escape(t["chrom"])}</td>'
        f'<td class="num">{t["pos"]:,}</td><td>{escape(t["id"])}</td>'
        f'<td class="num">{t["n_present"]}</td>{_pcell(t["p_text"])}</tr>\n'
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
{_definitions()}{_zeros(s)}{_run_tables(s)}<h2>Plots</h2>
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
