"""report.html: one page that needs nothing else (images embedded)."""
import base64
from html import escape

_STYLE = """
body { font-family: system-ui, sans-serif; margin: 2em auto; max-width: 1200px;
       padding: 0 1em; color: #222; }
h1 { font-size: 1.5em; margin-bottom: 0.2em; }
p.source { color: #555; margin-top: 0; }
table { border-collapse: collapse; margin: 1em 0; }
td, th { padding: 0.25em 0.8em; border-bottom: 1px solid #ddd; text-align: left; }
td.num, th.num { text-align: right; font-variant-numeric: tabular-nums; }
figure { margin: 1.5em 0; }
figure img { max-width: 100%; height: auto; border: 1px solid #eee; }
figcaption { color: #555; font-size: 0.9em; }
"""


def _num(v):
    return f"{v:,}" if isinstance(v, int) else escape(str(v))


def _p(v):
    return "n/a" if v is None else f"{v:.3g}"


def _image(name, data, caption):
    b64 = base64.b64encode(data).decode("ascii")
    return (f'<figure><img src="data:image/png;base64,{b64}" alt="{escape(caption)}">'
            f"<figcaption>{escape(caption)} ({name})</figcaption></figure>")


def render(summary, title, source, images):
    """The page as text; images maps file names to (PNG bytes, caption)."""
    s = summary
    lam = "n/a" if s["lambda_gc"] is None else f'{s["lambda_gc"]:.4f}'
    facts = [
        ("variants", _num(s["variants"])),
        ("tested (two or more present p-values)", _num(s["tested"])),
        ("fewer than two present p-values (-9.00)", _num(s["fewer_than_two_present"])),
        ("p-value shown as asterisks (a negative value)", _num(s["p_asterisks"])),
        ("p-value NaN or infinite", _num(s["p_not_a_number"])),
        ("p-value above 1", _num(s["p_above_1"])),
        ("&lambda;<sub>GC</sub>", lam),
        ("p &lt; 5e-8", _num(s["below_5e-8"])),
        ("p &lt; 1e-5", _num(s["below_1e-5"])),
        ("smallest p", _p(s["smallest_p"])),
    ]
    rows = "".join(f'<tr><th>{k}</th><td class="num">{v}</td></tr>' for k, v in facts)
    hits = "".join(
        f'<tr><td class="num">{i}</td><td>{escape(t["chrom"])}</td>'
        f'<td class="num">{t["pos"]:,}</td><td>{escape(t["id"])}</td>'
        f'<td class="num">{t["n_present"]}</td><td class="num">{_p(t["p"])}</td></tr>'
        for i, t in enumerate(s["top"], 1))
    figures = "".join(_image(name, data, caption) for name, (data, caption) in images.items())
    return f"""<!DOCTYPE html>
<html lang="en">
<head><meta charset="utf-8"><title>{escape(title)}</title>
<meta name="viewport" content="width=device-width, initial-scale=1">
<style>{_STYLE}</style></head>
<body>
<h1>{escape(title)}</h1>
<p class="source">{escape(source)}</p>
<h2>Summary</h2>
<table>{rows}</table>
<h2>Plots</h2>
{figures}
<h2>Top {len(s["top"])} variants</h2>
<table>
<tr><th class="num">#</th><th>chrom</th><th class="num">pos</th><th>id</th>
<th class="num">present</th><th class="num">p</th></tr>
{hits}
</table>
</body>
</html>
"""
