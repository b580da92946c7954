"""Broken studies through the real programs: kolva-prep -> kolva -> kolva-report.

Each study is the four plink2 fixtures of tests/prep/data with one thing
broken. The stage that meets it stops with status 1 and one line naming the
file and line, and leaves nothing under an output name, so the next stage
has nothing to run on.
"""
import os
import re
import subprocess

import pytest

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), os.pardir, os.pardir))
DATA = os.path.join(SOURCE, "tests", "prep", "data")
BUILD = os.path.join(SOURCE, "build")
PREP = os.environ.get("KOLVA_PREP", os.path.join(BUILD, "kolva-prep"))
KOLVA = os.environ.get("KOLVA_BIN", os.path.join(BUILD, "kolva"))
REPORT = os.environ.get("KOLVA_REPORT", os.path.join(BUILD, "kolva-report"))
pytestmark = pytest.mark.skipif(not all(map(os.path.exists, (PREP, KOLVA, REPORT))),
                                reason="kolva-prep, kolva and kolva-report are made by the build")

FIXTURES = {"y1": "y1.glm.linear", "y2": "y2.regenie.gz", "y3": "y3.saige.txt.bgz",
            "y4": "y4.ssf.tsv.zst"}
CORR = "y1 y2 y3 y4\n1 0.4 0.5 0.4\n0.4 1 0.3 0.3\n0.5 0.3 1 0.4\n0.4 0.3 0.4 1\n"
# y3 follows y1 closely and y2 loosely, yet y1 and y2 are opposed: no four
# phenotypes have these correlations.
NOT_PSD = "y1 y2 y3 y4\n1 -0.9 0.9 0\n-0.9 1 0.1 0\n0.9 0.1 1 0\n0 0 0 1\n"


def fixture(name):
    with open(os.path.join(DATA, FIXTURES[name]), "rb") as f:
        return f.read()


def cut(name):
    """The file cut at three fifths of its compressed bytes."""
    data = fixture(name)
    return data[:len(data) * 3 // 5]


def y1_columns(change):
    """y1 (PLINK 2, plain) with change(fields) applied to every data line."""
    lines = fixture("y1").decode().splitlines()
    rows = [lines[0]]
    for line in lines[1:]:
        f = line.split("\t")
        change(f)
        rows.append("\t".join(f))
    return ("\n".join(rows) + "\n").encode()


def shifted(f):
    f[1] = str(int(f[1]) + 1)  # another build: no position matches


def p_one(f):
    f[12] = "1"


def run(cmd, cwd):
    return subprocess.run(cmd, cwd=cwd, capture_output=True, text=True, timeout=60)


def prep(tmp, inputs, corr=None, out="run"):
    for name, data in inputs.items():
        with open(tmp / FIXTURES[name], "wb") as f:
            f.write(data)
    args = [PREP, "-q", "-o", out]
    if corr is not None:
        (tmp / "corr_in.txt").write_text(corr)
        args += ["--corr", "corr_in.txt"]
    return run(args + [f"{n}={FIXTURES[n]}" for n in FIXTURES], tmp)


def study(**broken):
    return {n: broken.get(n) or fixture(n) for n in FIXTURES}


@pytest.mark.parametrize("inputs, corr, message", [
    pytest.param(study(y2=cut("y2")), None,
                 r"y2\.regenie\.gz:(?P<line>\d+): gzip data damaged or truncated \(unexpected end of "
                 r"file\): the readable data end inside this line", id="gzip-cut"),
    pytest.param(study(y3=cut("y3")), CORR,
                 r"y3\.saige\.txt\.bgz:(?P<line>\d+): bgzip data damaged or truncated: the readable "
                 r"data end (inside|with) this line", id="bgzip-cut"),
    pytest.param(study(y1=y1_columns(shifted)), CORR,
                 r"y1\.glm\.linear:2: none of the 1500 variants of y1 matches a variant of "
                 r"another input by chromosome, position and alleles", id="no-overlap"),
    pytest.param(study(y1=y1_columns(p_one)), None,
                 r"y1\.glm\.linear:2: every p-value of y1 is 1 \(lines 2 to 1501\)",
                 id="all-p-1-estimated"),
    pytest.param(study(y1=y1_columns(p_one)), CORR,
                 r"y1\.glm\.linear:2: every p-value of y1 is 1", id="all-p-1-given"),
    pytest.param(study(), NOT_PSD,
                 r"corr_in\.txt:4: the correlation matrix is not positive semi-definite: the "
                 r"correlations of y3 with y1, y2 contradict", id="corr-not-psd"),
])
def test_prep_stops(tmp_path, inputs, corr, message):
    r = prep(tmp_path, inputs, corr)
    assert r.returncode == 1, r.stderr
    assert r.stderr.count("\n") == 1, r.stderr
    m = re.match("kolva-prep: " + message, r.stderr)
    assert m, r.stderr
    if "line" in m.groupdict():  # the lines before the damage are read and counted
        assert int(m["line"]) > 100
    left = set(os.listdir(tmp_path / "run"))
    assert left == {"prep_log.txt"}, left  # no output, whole or in part: kolva cannot start
    assert "STOPPED: " + r.stderr[len("kolva-prep: "):] in (tmp_path / "run" / "prep_log.txt").read_text()


def test_report_stops_on_the_map_of_another_run(tmp_path):
    r = prep(tmp_path, study())
    assert r.returncode == 0, r.stderr
    assert run([KOLVA], tmp_path / "run").returncode == 0
    # Another run: y2 with itself, 1,463 variants against the study's 1,500.
    r = run([PREP, "-q", "-o", "other", f"a={FIXTURES['y2']}", f"b={FIXTURES['y2']}"], tmp_path)
    assert r.returncode == 0, r.stderr
    r = run([REPORT, "--no-run", "--map", "other/variants.tsv.gz", "-o", "rep", "run/results.txt"],
            tmp_path)
    assert (r.returncode, r.stderr) == (1, "kolva-report: other/variants.tsv.gz:1465: the "
                                           "map ends after 1463 variants, but run/results.txt "
                                           "goes on (run/results.txt:1464)\n")
    assert os.listdir(tmp_path / "rep") == []


def test_report_reads_the_run_with_its_names(tmp_path):
    pytest.importorskip("kolva")
    assert prep(tmp_path, study()).returncode == 0
    assert run([KOLVA], tmp_path / "run").returncode == 0
    r = run([REPORT, "--null-draws", "2000", "run/results.txt"], tmp_path)
    assert r.returncode == 0, r.stderr
    header = (tmp_path / "run" / "loci.tsv").read_text().splitlines()[0].split("\t")
    assert header[-4:] == ["p_y1", "p_y2", "p_y3", "p_y4"]
    # The run of another study beside the same results: its p-value file
    # does not go with them.
    assert run([PREP, "-q", "-o", "other", f"a={FIXTURES['y2']}", f"b={FIXTURES['y2']}"],
               tmp_path).returncode == 0
    r = run([REPORT, "--run", "other", "-o", "rep", "run/results.txt"], tmp_path)
    assert r.returncode == 1 and r.stderr.startswith("kolva-report: other/defdims:1: "), r.stderr
    assert os.listdir(tmp_path / "rep") == []
