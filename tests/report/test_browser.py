"""The example's report.html in headless Chromium (driven by Selenium)."""
import base64
import gzip
import json
import os
import re
import shutil
import subprocess

import pytest
from conftest import SOURCE

LAUNCHER = os.environ.get("KOLVA_REPORT", os.path.join(SOURCE, "build", "kolva-report"))
KOLVA = os.environ.get("KOLVA_BIN", os.path.join(SOURCE, "build", "kolva"))
CHROMEDRIVER = "/usr/bin/chromedriver"
pytestmark = pytest.mark.skipif(not os.path.exists(LAUNCHER) or not os.path.exists(KOLVA),
                                reason="the launcher and kolva are made by the build")


def start_chromium():
    """A headless Chromium that logs the network, or a skip saying why not."""
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
    except ImportError as e:
        pytest.skip(f"Selenium is missing ({e}); tools/setup.sh installs python3-selenium")
    opts = webdriver.ChromeOptions()
    for arg in ("--headless=new", "--disable-gpu", "--window-size=1400,1000",
                "--hide-scrollbars", "--disable-dev-shm-usage"):
        opts.add_argument(arg)
    if os.geteuid() == 0:
        opts.add_argument("--no-sandbox")  # Chromium refuses its sandbox to root
    opts.set_capability("goog:loggingPrefs", {"performance": "ALL"})
    try:
        return webdriver.Chrome(service=Service(CHROMEDRIVER), options=opts)
    except Exception as e:  # no chromium, no driver, no display libraries ...
        pytest.skip(f"Chromium cannot start: {str(e).strip().splitlines()[0]}")


@pytest.fixture(scope="module")
def page(tmp_path_factory):
    """The example run, its report, and a browser that has opened it."""
    d = tmp_path_factory.mktemp("example")
    for name in ("defdims", "corr.txt", "pvals.txt"):
        shutil.copy(os.path.join(SOURCE, "examples", name), d)
    subprocess.run([KOLVA], cwd=d, check=True, capture_output=True)
    with open(d / "pvals.txt") as f, gzip.open(d / "variants.tsv.gz", "wt") as m:
        m.write("chrom\tpos\tid\tallele1\tallele2\tn_present\n")
        for i, line in enumerate(f):
            chrom, ident, *p = line.split()
            present = sum(v not in ("NA", "-9") for v in p)
            m.write(f"{chrom}\t{1000 * (i + 1)}\t{ident}\tA\tG\t{present}\n")
    r = subprocess.run([LAUNCHER, "results.txt"], cwd=d, capture_output=True, text=True)
    if r.returncode and "`kolva` cannot be loaded" in r.stderr:  # the report without the run
        r = subprocess.run([LAUNCHER, "--no-run", "results.txt"], cwd=d, capture_output=True,
                           text=True)
    assert r.returncode == 0, r.stderr
    driver = start_chromium()
    try:
        driver.get((d / "report.html").as_uri())
        yield driver, json.loads((d / "summary.json").read_text()), d
    finally:
        driver.quit()


def test_renders_every_picture_at_its_natural_size(page):
    driver, s, d = page
    assert driver.title == "Kolva report: results.txt"
    imgs = driver.execute_script("""return [...document.images].map(i => {
        const r = i.getBoundingClientRect(), s = getComputedStyle(i);
        return {alt: i.alt, done: i.complete, nw: i.naturalWidth, nh: i.naturalHeight,
                w: r.width - i.clientLeft * 2, h: r.height - i.clientTop * 2,
                shown: s.display !== 'none' && s.visibility === 'visible' && s.opacity === '1'};
    })""")
    run = "lambda_method" in s
    regional = min(s["loci"], 10) if run else 0
    assert [i["alt"].split(":")[0] for i in imgs] == ["QQ plot", "Manhattan plot"] + (
        ["Miami plot"] + [f"Regional plot of locus {k}" for k in range(1, regional + 1)]
        + ["Heatmap"] if run else [])
    assert [(i["nw"], i["nh"]) for i in imgs[:2]] == [(520, 520), (1200, 450)]
    for i in imgs:
        assert i["done"] and i["shown"] and len(i["alt"]) > 40, i
        assert (i["w"], i["h"]) == (i["nw"], i["nh"]), i  # not scaled on a 1400 px window
    # each regional plot is linked from its locus
    links = driver.execute_script("""return [...document.querySelectorAll('table.loci a')]
        .map(a => document.querySelector(a.getAttribute('href')) !== null)""")
    assert links == [True] * regional


SHORT_P = r"^(\d\.\d\de[-+]\d{2,3}|< 4\.94e-324)$"


def test_loci_table_speaks_short_p_and_names_both_trait_columns(page):
    driver, s, d = page
    with open(d / "loci.tsv") as f:
        head, *loci = [line.rstrip("\n").split("\t") for line in f]
    tsv = [dict(zip(head, r)) for r in loci[:100]]
    shown = driver.execute_script("""return [...document.querySelectorAll(
        'table.loci > tbody > tr')].map(tr => Object.fromEntries([...tr.children].map(
            c => [c.dataset.label, {text: c.textContent, title: c.title}])))""")
    assert len(tsv) > 1 and len(shown) == len(tsv)
    run = "lambda_method" in s
    for r, row in zip(tsv, shown):
        assert row["lead"]["text"] == r["lead_id"]
        assert re.match(SHORT_P, row["p"]["text"]) and row["p"]["title"] == r["p"]
        assert float(row["p"]["text"]) == pytest.approx(float(r["p"]), rel=5e-3)
        for k in ("associated", "carrying"):
            assert row[f"{k} traits"]["text"] == (r[f"{k}_traits"].replace(",", ", ")
                                                  if run else "n/a")
        if run:  # the lead's smallest trait p is below its combined p < threshold
            assert r["carrying_traits"].split(",")[0] in r["associated_traits"].split(",")
    # no p-value as record text (15 digits) anywhere in the table, folded or not
    text = driver.execute_script("return document.querySelector('table.loci').textContent")
    assert not re.search(r"\d{15}", text)
    if run:  # the per-trait p-values unfold
        cells = driver.execute_script("""const d = document.querySelector('table.loci details');
            d.open = true;
            return [...d.querySelectorAll('tbody td')].map(c => [c.textContent, c.title])""")
        values = [v for v in cells if v[1]]
        assert values and all(re.match(SHORT_P, t) for t, _ in values)


def test_every_plot_names_its_legend(page):
    driver, s, _ = page
    keys = driver.execute_script("""return Object.fromEntries([...document.querySelectorAll(
        'figure')].map(f => [f.id, (f.querySelector('.key') || {}).textContent]))""")
    assert "diagonal: observed = expected" in keys["qq"] and "95 % band" in keys["qq"]
    assert "p = 5e-08" in keys["manhattan"] and "locus lead" in keys["manhattan"]
    if "lambda_method" in s:
        assert "uniform p" in keys["qq"]
        assert "p = 5e-08" in keys["miami"] and "locus lead" in keys["miami"]
        novel = "lead of a locus found only by combining"
        assert (novel in keys["manhattan"]) == (novel in keys["miami"]) == (s["novel_loci"] > 0)
        regional = [k for k in keys if k.startswith("regional_")]
        assert regional and all("combined" in keys[k] and " alone" in keys[k] for k in regional)


def test_makes_no_network_request(page):
    driver, _, _ = page
    # Every resource the page asked for, from the performance API and from
    # the DevTools network log: only the page itself.
    assert driver.execute_script("return performance.getEntriesByType('resource').length") == 0
    urls = {json.loads(e["message"])["message"]["params"]["request"]["url"]
            for e in driver.get_log("performance")
            if '"Network.requestWillBeSent"' in e["message"]}
    assert all(u.startswith(("file://", "data:")) for u in urls), urls
    # The page's policy refuses remote loads: an image from elsewhere is
    # blocked before any request.
    blocked = driver.execute_async_script("""const done = arguments[0];
        document.addEventListener('securitypolicyviolation', e => done(e.blockedURI));
        const i = new Image(); i.src = 'https://example.invalid/x.png';
        setTimeout(() => done(null), 2000);""")
    assert blocked == "https://example.invalid/x.png"


def test_shows_the_numbers_of_summary_json(page):
    driver, s, _ = page
    shown = driver.execute_script("""const o = {};
        for (const tr of document.querySelectorAll('table.summary tr'))
            o[tr.dataset.key] = tr.querySelector('td').textContent;
        return o""")
    lam = s["lambda_gc"]
    assert shown == {
        **{k: f"{s[k]:,}" for k in ("variants", "tested", "fewer_than_two_present",
                                     "p_asterisks", "p_not_a_number", "p_above_1",
                                     "below_5e-8", "below_1e-5")},
        "lambda_gc": f"{lam:.4f}", "smallest_p": f"{s['smallest_p']:.2e}",
        "p_zero": "0", "loci": f"{s['loci']:,}",
        **({"lambda_method": f"{s['lambda_method']:.4f}", "novel_loci": f"{s['novel_loci']:,}"}
           if "lambda_method" in s else {})}
    assert float(shown["lambda_gc"]) == pytest.approx(lam, abs=5e-5)
    top = driver.execute_script("""return [...document.querySelectorAll('table.top tbody tr')]
        .map(tr => [...tr.cells].map(c => c.textContent))""")
    heads = driver.execute_script("""return [...document.querySelectorAll('table.top thead th')]
        .map(th => th.textContent)""")
    assert heads == ["#", "chrom", "pos", "id", "present", "p"]
    assert [(c, int(p.replace(",", "")), i, int(n), float(pv)) for _, c, p, i, n, pv in top] == \
        [(t["chrom"], t["pos"], t["id"], t["n_present"], pytest.approx(t["p"], rel=5e-3))
         for t in s["top"]]


@pytest.mark.parametrize("media, width", [("screen", 1400), ("screen", 360), ("print", 700)])
def test_fits_a_wide_and_a_narrow_window_and_paper(page, media, width):
    driver, _, _ = page
    driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": media})
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": width, "height": 800, "deviceScaleFactor": 1,
                            "mobile": False})
    try:
        fit = driver.execute_script("""const root = document.documentElement;
            const t = document.querySelector('table.loci'), w = t.parentElement;
            return {page: root.scrollWidth - root.clientWidth,
                    imgs: [...document.images].map(i => i.getBoundingClientRect().right)
                          .every(r => r <= root.clientWidth),
                    loci: w.scrollWidth - w.clientWidth,
                    cells: [...t.querySelectorAll('td')].every(
                        c => c.getBoundingClientRect().right <= root.clientWidth)}""")
        # nothing scrolls sideways: every column of the loci table in sight
        assert fit == {"page": 0, "imgs": True, "loci": 0, "cells": True}
    finally:
        driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
        driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": ""})


def test_prints_to_pdf(page):
    driver, _, _ = page
    pdf = base64.b64decode(driver.execute_cdp_cmd(
        "Page.printToPDF", {"paperWidth": 8.27, "paperHeight": 11.69})["data"])
    assert pdf.startswith(b"%PDF-") and len(pdf) > 50_000  # the text and both plots
