import gzip
import json
import os
import re
import shutil
import subprocess

import pytest
from conftest import SOURCE, record
from kolva_report import cli

LAUNCHER = os.environ.get("KOLVA_REPORT", os.path.join(SOURCE, "build", "kolva-report"))
KOLVA = os.environ.get("KOLVA_BIN", os.path.join(SOURCE, "build", "kolva"))
needs_build = pytest.mark.skipif(not os.path.exists(LAUNCHER) or not os.path.exists(KOLVA),
                                 reason="the launcher and kolva are made by the build")
HEADER = "chrom\tpos\tid\tallele1\tallele2\tn_present\n"
NO_RUN_OUTPUTS = ("results.tsv.gz", "results.ssf.tsv.gz", "results.ssf.tsv.gz-meta.yaml",
                  "summary.json", "loci.tsv", "qq.png", "manhattan.png", "report.html")


def run(*args):
    return subprocess.run([LAUNCHER, *args], capture_output=True, text=True)


@needs_build
@pytest.mark.parametrize("args, status, out, err", [
    (["--version"], 0, "kolva-report {version}\n", ""),
    (["--help"], 0, "usage: kolva-report [--map", ""),
    ([], 64, "", "kolva-report: the following arguments are required: RESULTS; usage: "),
    (["--colour", "r.txt"], 64, "", "kolva-report: unrecognized arguments: --colour; usage: "),
    (["/nonexistent/results.txt"], 1, "", "kolva-report: /nonexistent/results.txt: No such file"),
    (["--threshold", "2", "r.txt"], 64, "", "kolva-report: argument --threshold: invalid"),
    (["--null-draws", "-1", "r.txt"], 64, "", "kolva-report: argument --null-draws: invalid"),
    (["--run", "a", "--no-run", "r.txt"], 64, "", "kolva-report: argument --no-run: not allowed"),
])
def test_command_line(args, status, out, err):
    with open(os.path.join(SOURCE, "CMakeLists.txt")) as f:
        version = re.search(r"project\(kolva VERSION (\S+)", f.read()).group(1)
    r = run(*args)
    assert r.returncode == status
    assert r.stdout.startswith(out.format(version=version)) and r.stderr.startswith(err)
    assert err == "" or r.stderr.count("\n") == 1


LINES = [record("1", f"rs{i}", 2, ".500000000000000E+00") for i in range(3)]
MAP = [f"1\t{100 * i}\trs{i}\tA\tG\t2\n" for i in range(3)]


@pytest.mark.parametrize("results, map_lines, message", [
    (LINES, MAP[:2], "map.tsv:4: the map ends after 2 variants, but r.txt goes on (r.txt:3)"),
    (LINES, MAP + MAP[:1], "map.tsv:5: the map has more variants than the 3 records"),
    (LINES, MAP[:1] + MAP[2:] + MAP[1:2], "map.tsv:3: the id is not that of the result"),
    (LINES[:2] + ["  1 bad"], MAP, "r.txt:3: a record of 7 characters"),
])
def test_mismatch_stops_and_leaves_no_outputs(tmp_path, monkeypatch, capsys, results,
                                              map_lines, message):
    monkeypatch.chdir(tmp_path)
    (tmp_path / "r.txt").write_text("\r\n".join(results) + "\r\n")
    (tmp_path / "map.tsv").write_text(HEADER + "".join(map_lines))
    assert cli.main(["--no-run", "--map", "map.tsv", "-o", "out", "r.txt"], "0") == 1
    assert capsys.readouterr().err.startswith(f"kolva-report: {message}")
    assert os.listdir("out") == []


@needs_build
def test_example_end_to_end(tmp_path):
    for name in ("defdims", "corr.txt", "pvals.txt"):
        shutil.copy(os.path.join(SOURCE, "examples", name), tmp_path)
    subprocess.run([KOLVA], cwd=tmp_path, check=True, capture_output=True)
    with open(tmp_path / "pvals.txt") as f, gzip.open(tmp_path / "variants.tsv.gz", "wt") as m:
        m.write(HEADER)
        for i, line in enumerate(f):
            chrom, ident, *p = line.split()
            present = sum(v not in ("NA", "-9") for v in p)
            m.write(f"{chrom}\t{1000 + i}\t{ident}\tA\tG\t{present}\n")
    r = run("--no-run", "-o", str(tmp_path / "out"), "--title", "Example",
            str(tmp_path / "results.txt"))
    assert r.returncode == 0, r.stderr
    out = tmp_path / "out"
    assert sorted(os.listdir(out)) == sorted(NO_RUN_OUTPUTS)
    with gzip.open(out / "results.tsv.gz", "rt") as f:
        rows = f.read().splitlines()
    assert len(rows) == 3001
    assert rows[1] == "1\t1000\trs100000\tA\tG\t6\t0.728815521369720E+00\t0.137382"
    with gzip.open(out / "results.ssf.tsv.gz", "rt") as f:
        rows = f.read().splitlines()
    assert rows[0].split("\t")[:4] == ["chromosome", "base_pair_location", "effect_allele",
                                       "other_allele"]
    assert rows[1] == "1\t1000\tA\tG\t#NA\t#NA\t#NA\t0.728815521369720E+00\t0.137382\t" \
        "rs100000\trs100000\t6"
    meta = (out / "results.ssf.tsv.gz-meta.yaml").read_text()
    assert 'data_file_name: "results.ssf.tsv.gz"' in meta and "is_sorted: false" in meta
    summary = json.loads((out / "summary.json").read_text())
    assert (summary["variants"], summary["tested"], len(summary["top"])) == (3000, 3000, 20)
    assert summary["top"][0]["id"] == "rs117402" and summary["map"].endswith("variants.tsv.gz")
    html = (out / "report.html").read_text()
    assert html.count('src="data:image/png;base64,') == 2
    assert "qq.png" in html and "manhattan.png" in html and "<title>Example</title>" in html
