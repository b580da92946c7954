"""report.html: one page that needs nothing else (images embedded)."""
import base64
from html import escape

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
  thead { display: table-header-group; }
}
"""


# Nothing outside the page loads: images are data: URLs, styles inline.
CSP = ("default-src 'none'; img-src data:; style-src 'unsafe-inline'; "
       "base-uri 'none'; form-action 'none'")


def _num(v):
    return f"{v:,}" if isinstance(v, int) else escape(str(v))


def _p(v):
    return "n/a" if v is None else f"{v:.3g}"


def _png_size(data):
    """Width and height from a PNG's header."""
    return int.from_bytes(data[16:20], "big"), int.from_bytes(data[20:24], "big")


def _image(name, data, caption, alt):
    b64 = base64.b64encode(data).decode("ascii")
    w, h = _png_size(data)
    return (f'<figure><img src="data:image/png;base64,{b64}" width="{w}" height="{h}" '
            f'alt="{escape(alt)}"><figcaption>{escape(caption)} ({name})</figcaption></figure>')


def _alt(name, s, lam):
    """What a plot shows, for readers who do not see it."""
    if name == "qq.png":
        return (f"QQ plot: observed against expected -log10 p of the {s['tested']:,} tested "
                f"variants, with the 95 % band under the null; lambda GC {lam}")
    if name == "manhattan.png":
        return (f"Manhattan plot: -log10 p of the {s['variants']:,} variants along the "
                f"chromosomes, lines at p = 5e-8 ({s['below_5e-8']:,} below) and 1e-5 "
                f"({s['below_1e-5']:,} below); smallest p {_p(s['smallest_p'])}")
    return name


def render(summary, title, source, images):
    """The page as text; images maps file names to (PNG bytes, caption).
    Each summary row carries its summary.json key in data-key."""
    s = summary
    lam = "n/a" if s["lambda_gc"] is None else f'{s["lambda_gc"]:.4f}'
    facts = [
        ("variants", "variants", _num(s["variants"])),
        ("tested", "tested (two or more present p-values)", _num(s["tested"])),
        ("fewer_than_two_present", "fewer than two present p-values (-9.00)",
         _num(s["fewer_than_two_present"])),
        ("p_asterisks", "p-value shown as asterisks (a negative value)", _num(s["p_asterisks"])),
        ("p_not_a_number", "p-value NaN or infinite", _num(s["p_not_a_number"])),
        ("p_above_1", "p-value above 1", _num(s["p_above_1"])),
        ("lambda_gc", "&lambda;<sub>GC</sub>", lam),
        ("below_5e-8", "p &lt; 5e-8", _num(s["below_5e-8"])),
        ("below_1e-5", "p &lt; 1e-5", _num(s["below_1e-5"])),
        ("smallest_p", "smallest p", _p(s["smallest_p"])),
    ]
    rows = "".join(f'<tr data-key="{key}"><th scope="row">{k}</th><td class="num">{v}</td></tr>\n'
                   for key, k, v in facts)
    hits = "".join(
        f'<tr><td class="num">{i}</td><td>{escape(t["chrom"])}</td>'
        f'<td class="num">{t["pos"]:,}</td><td>{escape(t["id"])}</td>'
        f'<td class="num">{t["n_present"]}</td><td class="num">{_p(t["p"])}</td></tr>\n'
        for i, t in enumerate(s["top"], 1))
    figures = "\n".join(_image(name, data, caption, _alt(name, s, lam))
                         for name, (data, caption) in images.items())
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
<h2>Plots</h2>
{figures}
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
