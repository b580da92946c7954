#!/usr/bin/python3
"""Remakes docs/report.png: the bundled example run through kolva and
kolva-report (with a variant map made up for it, and the run: the engine's
Python module must be where the launcher finds it), its report.html shot
whole in headless Chromium (1280 px wide).

  tools/report_screenshot.py [BUILD_DIR] [OUTPUT]    (default: build docs/report.png)

Needs chromium, chromium-driver and python3-selenium (tools/setup.sh).
"""
import base64
import gzip
import os
import shutil
import subprocess
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), os.pardir))
WIDTH = 1280


def write_map(d):
    """A variant map for the example (its p-value file has chromosomes and ids
    only): positions 1,000 bases apart in file order, alleles A and G."""
    with open(os.path.join(d, "pvals.txt")) as f, \
            gzip.open(os.path.join(d, "variants.tsv.gz"), "wt") as m:
        m.write("chrom\tpos\tid\tallele1\tallele2\tn_present\n")
        for i, line in enumerate(f):
            chrom, ident, *p = line.split()
            present = sum(v not in ("NA", "-9") for v in p)
            m.write(f"{chrom}\t{1000 * (i + 1)}\t{ident}\tA\tG\t{present}\n")


def main(build, out):
    with tempfile.TemporaryDirectory() as d:
        for name in ("defdims", "corr.txt", "pvals.txt"):
            shutil.copy(os.path.join(SOURCE, "examples", name), d)
        subprocess.run([os.path.join(build, "kolva")], cwd=d, check=True, capture_output=True)
        write_map(d)
        subprocess.run([os.path.join(build, "kolva-report"), "results.txt"], cwd=d, check=True,
                       capture_output=True)
        opts = webdriver.ChromeOptions()
        for arg in ("--headless=new", "--disable-gpu", "--hide-scrollbars",
                    f"--window-size={WIDTH},1000"):
            opts.add_argument(arg)
        if os.geteuid() == 0:
            opts.add_argument("--no-sandbox")  # Chromium refuses its sandbox to root
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=opts)
        try:
            driver.get(f"file://{d}/report.html")
            height = driver.execute_script("return document.documentElement.scrollHeight")
            driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                   {"width": WIDTH, "height": height, "deviceScaleFactor": 1,
                                    "mobile": False})
            png = driver.execute_cdp_cmd("Page.captureScreenshot", {"format": "png"})["data"]
        finally:
            driver.quit()
    tmp = out + ".part"
    with open(tmp, "wb") as f:
        f.write(base64.b64decode(png))
    os.replace(tmp, out)
    print(f"report_screenshot: wrote {out} ({WIDTH} x {height})")


if __name__ == "__main__":
    if len(sys.argv) > 3:
        sys.exit(f"usage: {sys.argv[0]} [BUILD_DIR] [OUTPUT]")
    main(os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(SOURCE, "build")),
         sys.argv[2] if len(sys.argv) > 2 else os.path.join(SOURCE, "docs", "report.png"))
