"""A study whose strongest variant underflows, through the real programs:
kolva-prep -> kolva -> kolva-report on the plink2 fixtures of tests/prep/data
with p = 0 (and a p below the smallest double, 1e-400) put in. Nothing but
progress reaches standard error; p = 0 is counted, ranks as the smallest p
and has a finite -log10 p in both tables."""
import gzip
import json
import os

import pytest
from test_broken_studies import FIXTURES, KOLVA, PREP, REPORT, fixture, run, study, y1_columns

pytestmark = pytest.mark.skipif(not all(map(os.path.exists, (PREP, KOLVA, REPORT))),
                                reason="kolva-prep, kolva and kolva-report are made by the build")


def y1_zero(f):
    f[12] = {"snp299": "0", "snp300": "1e-400"}.get(f[2], f[12])


def y2_zero():
    """y2 (REGENIE, gzip) with LOG10P = 400 at snp299: 1e-400, 0 as a double."""
    lines = gzip.decompress(fixture("y2")).decode().splitlines()
    rows = [" ".join(f[:11] + ["400"] + f[12:]) if f[2] == "snp299" else " ".join(f)
            for f in map(str.split, lines)]
    return gzip.compress(("\n".join(rows) + "\n").encode())


def test_p_zero_through_the_three_programs(tmp_path):
    pytest.importorskip("kolva")
    for name, data in study(y1=y1_columns(y1_zero), y2=y2_zero()).items():
        (tmp_path / FIXTURES[name]).write_bytes(data)
    r = run([PREP, "-o", "run"] + [f"{n}={f}" for n, f in FIXTURES.items()], tmp_path)
    assert r.returncode == 0, r.stderr
    assert all(line.startswith("kolva-prep: ") and "warn" not in line.lower()
               for line in r.stderr.splitlines()), r.stderr
    r = run([KOLVA], tmp_path / "run")
    assert (r.returncode, r.stderr.strip()) == (0, "STOP end kolva"), r.stderr
    r = run([REPORT, "--null-draws", "2000", "run/results.txt"], tmp_path)
    assert (r.returncode, r.stderr) == (0, ""), r.stderr

    out = tmp_path / "run"
    s = json.loads((out / "summary.json").read_text())
    assert (s["p_zero"], s["p_zero_traits"]) == (2, {"y1": 2, "y2": 1, "y3": 0, "y4": 0})
    head, first = [line.split("\t") for line in (out / "loci.tsv").read_text().splitlines()[:2]]
    lead = dict(zip(head, first))
    # ties at p = 0 in column order; y1 alone gives the lead's combined p
    assert (lead["lead_id"], lead["p"], lead["associated_traits"], lead["carrying_traits"]) == \
        ("snp299", "0.000000000000000E+00", "y1,y2", "y1")
    assert s["locus_traits"][0]["associated_traits"] == ["y1", "y2"]
    for table, id_col, neg_col in (("results.tsv.gz", 2, 7), ("results.ssf.tsv.gz", 9, 8)):
        with gzip.open(out / table, "rt") as f:
            rows = [line.rstrip("\n").split("\t") for line in f]
        assert not any("inf" in row[neg_col] for row in rows), table
        assert {row[id_col]: row[neg_col] for row in rows if row[id_col] in
                ("snp299", "snp300")} == {"snp299": "323.306215", "snp300": "323.306215"}
    assert "323.306215" in (out / "results.ssf.tsv.gz-meta.yaml").read_text()
    assert "&lt; 4.94e-324" in (out / "report.html").read_text()
