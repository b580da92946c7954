"""One study, four doors: each run folder of the table is read by the kolva
program, by kolva-report, by the Python module and by the R package.
Every door reads it alike: the same values (the correlation matrix and the
p-values to the bit, the combined p-values of the program's result file),
or a refusal from each library door with the same FILE:LINE message where
kolva stops too. Where a door is stricter than kolva on purpose, the table
says so and its message says why.
"""
import os
import shutil
import struct
import subprocess

import numpy as np
import pytest

kolva = pytest.importorskip("kolva")

KOLVA = os.environ.get("KOLVA_BIN", "")
REPORT = os.environ.get("KOLVA_REPORT", "")
R_LIB = os.environ.get("KOLVA_R_LIB", "")
HERE = os.path.dirname(os.path.abspath(__file__))
pytestmark = pytest.mark.skipif(not (os.path.exists(KOLVA) and os.path.exists(REPORT)),
                                reason="kolva and kolva-report are made by the build")

DEFDIMS = "3 6\n{layout}\npvals.txt\ncorr.txt\nresults.txt\n"
# The base study: every readable folder below holds these numbers, written
# in other forms, so that every door's values and kolva's results are the
# base's.
LOWER = "1\n0.5 1\n0.25 0.25 1\n"
FULL = "1 0.5 0.25\n0.5 1 0.25\n0.25 0.25 1\n"
PVALS = ("1 rs1 0.01 0.2 0.03\n1 rs2 NA 0.5 1e-9\n2 rs3 0.04 -9 0.3\n"
         "2 rs4 0.9 0.8 0.7\nX rs5 1D-3 2.5E-2 N\nX rs6 0.5 0.5 0.5\n")
READ = "read"

# name: (layout, correlation file, p-value file, kolva runs, the library's
# message, kolva-report's message when it is stricter).
TABLE = {
    "lower": ("lower", LOWER, PVALS, True, READ, None),
    "full": ("full", FULL, PVALS, True, READ, None),
    "terminator": ("lower", LOWER + "/\n", PVALS, True, READ, None),
    "exponents_d": ("lower", "1\n5D-1 1\n2.5d-1 25D-2 1\n", PVALS, True, READ, None),
    "repeat_count": ("lower", "1 0.5 1 2*0.25 1\n", PVALS, True, READ, None),
    "comma_and_slash": ("lower", "1,0.5,1,0.25,0.25,1/ 7 7\n", PVALS, True, READ, None),
    "more_values": ("lower", LOWER + "0.9 1\n", PVALS, True, READ,
                    "corr.txt:4: values beyond the 6 of the lower triangle of 3 phenotypes"),
    "asymmetric": ("full", "1 0.5 0.25\n0.4 1 0.25\n0.25 0.25 1\n", PVALS, False,
                   "corr.txt:2: the whole matrix is not symmetric: row 2, column 1 holds 0.4 "
                   "but row 1, column 2 holds 0.5", None),
    "short": ("lower", "1\n0.5 1\n0.25\n", PVALS, False,
              "corr.txt:4: the file ends after 4 of the 6 of the lower triangle of 3 "
              "phenotypes", None),
    "not_a_number": ("lower", "1\n0.5 1\n0.25 x 1\n", PVALS, False,
                     "corr.txt:3: value 5 of the 6 of the lower triangle of 3 phenotypes is "
                     "not a number", None),
    "pvals_short": ("lower", LOWER, PVALS.rsplit("X rs6", 1)[0], False,
                    "pvals.txt:6: the file ends after 5 lines, but the run has 6 variants",
                    None),
    "pvals_more_values": ("lower", LOWER, PVALS.replace("0.3\n", "0.3 0.6\n"), True,
                          "pvals.txt:3: the line holds more than 3 p-values (a file of more "
                          "phenotypes? kolva would read the first 3; ask for first_n to do "
                          "the same)", "pvals.txt:3: the line holds more than 3 p-values"),
    "pvals_not_a_number": ("lower", LOWER, PVALS.replace("0.9", "0.9x"), False,
                           "pvals.txt:4: a p-value is not a number", None),
}


def bits(a):
    """A float64 array as text that tells every bit."""
    return " ".join(struct.pack(">d", x).hex() for x in np.asarray(a, np.float64).ravel())


@pytest.fixture(scope="module")
def folders(tmp_path_factory):
    """Each folder of the table, with kolva run in it (status, results),
    and the base's results beside it for kolva-report."""
    root = tmp_path_factory.mktemp("doors")
    made = {}
    for name, (layout, corr, pvals, _, _, _) in TABLE.items():
        d = root / name
        d.mkdir()
        (d / "defdims").write_text(DEFDIMS.format(layout=layout))
        (d / "corr.txt").write_text(corr)
        (d / "pvals.txt").write_text(pvals)
        (d / "phenotypes.txt").write_text("ldl\nhdl\ntg\n")
        status = subprocess.run([KOLVA, "--threads", "1"], cwd=d, capture_output=True).returncode
        results = (d / "results.txt").read_bytes() if status == 0 else None
        made[name] = (str(d), status, results)
    base = made["lower"][2]
    for name, (d, status, _) in made.items():
        if status != 0:
            with open(os.path.join(d, "results.txt"), "wb") as f:
                f.write(base)
    return made


def r_door(paths):
    """R's read_run on every folder: "ok" with the values' bits, or the
    message it stops with."""
    if not R_LIB or shutil.which("Rscript") is None:
        pytest.skip("the R package is made by the build")
    out = subprocess.run(["Rscript", os.path.join(HERE, "doors.R"), R_LIB] + paths,
                         capture_output=True, text=True, check=True).stdout
    return dict(zip(paths, out.splitlines()))


def python_door(path):
    try:
        run = kolva.read_run(path)
    except ValueError as e:
        return "error " + str(e)
    return f"ok {bits(run.corr)} | {bits(np.nan_to_num(run.p, nan=-9))}"


def report_door(path):
    got = subprocess.run([REPORT, "--null-draws", "0", "-o", os.path.join(path, "report"),
                          os.path.join(path, "results.txt")], capture_output=True, text=True)
    if got.returncode == 0:
        return READ
    assert got.returncode == 1, got.stderr
    return got.stderr.strip().removeprefix("kolva-report: ")


def message(text, path):
    """A door's message with the folder taken out."""
    return text.replace(path + os.sep, "")


def test_every_door_reads_every_folder_alike(folders):
    paths = [d for d, _, _ in folders.values()]
    from_r = r_door(paths)
    base = python_door(folders["lower"][0])
    for name, (d, status, results) in folders.items():
        _, _, _, runs, verdict, stricter = TABLE[name]
        py = python_door(d)
        # kolva: runs where the library reads (or is stricter on purpose).
        assert (status == 0) == runs, name
        if runs and verdict == READ:
            assert results == folders["lower"][2], name
        # Python and R: the same values to the bit, or the same message.
        assert message(from_r[d], d) == message(py, d), name
        if verdict == READ:
            assert py == base, name
        else:
            assert message(py, d) == "error " + verdict, name
        # kolva-report: the library's verdict, or its own stricter one
        # that says why.
        said = message(report_door(d), d)
        if stricter:
            assert said.startswith(stricter) and "kolva" in said[len(stricter):], (name, said)
        else:
            assert said == verdict, (name, said)


def test_what_the_engine_reads_is_what_kolva_combined(folders):
    """read_run's values through combine give kolva's result records."""
    d = folders["lower"][0]
    run = kolva.read_run(d)
    p = kolva.combine(run.p, run.corr)
    records = next(kolva.read_results(os.path.join(d, "results.txt")))
    printed = np.array([float(f"{x:.14e}") for x in p])
    assert bits(np.where(np.isnan(p), -9, printed)) == bits(np.nan_to_num(records.p, nan=-9))
