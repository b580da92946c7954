"""A run folder that does not go with the results stops the report with
FILE:LINE: what, exit 1 and nothing under a final name."""
import json
import os
import re
import shutil

import pytest
from conftest import KOLVA, simulated_run, two_groups
from kolva_report import cli

pytestmark = pytest.mark.skipif(not os.path.exists(KOLVA), reason="kolva is made by the build")
NAMES = ["ldl", "hdl", "tg"]


@pytest.fixture(scope="module")
def study(tmp_path_factory):
    return simulated_run(str(tmp_path_factory.mktemp("run")), two_groups(3, 0.5, 0.2), 40,
                         seed=3, names=NAMES)


def lines(path):
    with open(path) as f:
        return f.readlines()


def edit(name, change):
    def apply(folder):
        path = os.path.join(folder, name)
        rows = lines(path)
        with open(path, "w") as f:
            f.writelines(change(rows))
    return apply


def other_id(rows):
    rows[2] = rows[2].replace("rs3 ", "rs333 ")
    return rows


def no_phenotypes(folder):
    edit("defdims", lambda r: ["0 40\n"] + r[1:])(folder)
    os.remove(os.path.join(folder, "phenotypes.txt"))


# (what is broken, needs the engine, the message after `kolva-report: `)
BROKEN = [
    (edit("defdims", lambda r: ["3 41\n"] + r[1:]), True,
     r"run/defdims:1: the run has 41 variants, but .*results.txt holds 40 records"),
    (edit("phenotypes.txt", lambda r: [r[0], "\n", r[2]]), False,
     r"run/phenotypes.txt:2: no name for phenotype 2"),
    (edit("phenotypes.txt", lambda r: r[:2]), False,
     r"run/phenotypes.txt:3: 2 names, but the run has 3 phenotypes"),
    (edit("corr.txt", lambda r: r + ["0.1 0.1 0.1 1\n"]), False,
     r"run/corr.txt:4: values beyond the 6 of the lower triangle of 3 phenotypes: kolva reads "
     r"the first 6 and ignores the rest, but kolva-report refuses such a file, as it is most "
     r"likely the correlation matrix of a run with more phenotypes$"),
    (edit("corr.txt", lambda r: r[:2]), False,
     r"run/corr.txt:3: the file ends after 3 of the 6 of the lower triangle of 3 phenotypes$"),
    (edit("corr.txt", lambda r: r[:1] + ["0.5 1 x\n"]), False,
     r"run/corr.txt:2: value 4 of the 6 of the lower triangle of 3 phenotypes is not a number$"),
    (edit("defdims", lambda r: ["51 40\n"] + r[1:]), False,
     r"run/defdims:1: 51 phenotypes; a run has 0 to 50$"),
    (no_phenotypes, False,
     r"run/defdims:1: the run has no phenotypes: there is nothing of it to report"),
    (edit("corr.txt", lambda r: r[:1] + ["0.1 1\n"] + r[2:]), True,
     r"run/corr.txt:1: with this matrix the engine gives p = .* the results were made with "
     r"another matrix"),
    (edit("pvals.txt", lambda r: r[:30]), True,
     r"run/pvals.txt:31: the file ends after 30 lines, but the run has 40 variants$"),
    (edit("pvals.txt", lambda r: r[:2] + [r[2].rstrip("\n") + " 0.5\n"] + r[3:]), True,
     r"run/pvals.txt:3: the line holds more than 3 p-values: kolva reads the first 3 and ignores "
     r"the rest, but kolva-report refuses such a file"),
    (edit("pvals.txt", lambda r: r[:3] + ["1 rs4 0.5\n"] + r[4:]), True,
     r"run/pvals.txt:4: "),  # a line kolva stops at, in the engine's words
    (edit("pvals.txt", other_id), True,
     r"run/pvals.txt:3: variant 1 rs333 with 3 p-values present is not the record at "
     r".*results.txt:3: the p-value file of another run\?"),
]


@pytest.mark.parametrize("broken, engine, message", BROKEN)
def test_a_run_of_another_study_stops(tmp_path, monkeypatch, capsys, study, broken, engine,
                                      message):
    if engine:
        pytest.importorskip("kolva")
    monkeypatch.chdir(tmp_path)
    broken(shutil.copytree(study, "run"))
    assert cli.main(["-o", "out", "run/results.txt"], "0") == 1
    err = capsys.readouterr().err
    assert err.count("\n") == 1
    assert re.match("kolva-report: " + message, err), err
    assert os.listdir("out") == []


def test_names_and_no_run(tmp_path, study):
    pytest.importorskip("kolva")
    run = shutil.copytree(study, tmp_path / "run")
    edit("corr.txt", lambda r: r[:-1] + [r[-1].rstrip() + " /\n"])(run)  # as kolva reads it
    results = os.path.join(run, "results.txt")
    assert cli.main(["--threshold", "0.02", "-o", str(tmp_path / "a"), results], "0") == 0
    s = json.loads((tmp_path / "a" / "summary.json").read_text())
    assert list(s["lambda_gc_traits"]) == NAMES
    header = (tmp_path / "a" / "loci.tsv").read_text().splitlines()[0].split("\t")
    assert header[-3:] == ["p_ldl", "p_hdl", "p_tg"]
    # --no-run: the results alone, nothing of the run
    assert cli.main(["--no-run", "-o", str(tmp_path / "b"), results], "0") == 0
    s = json.loads((tmp_path / "b" / "summary.json").read_text())
    assert "lambda_method" not in s and s["run"] is None
