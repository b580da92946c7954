"""The module's readers against the program: read_pvals (the same values,
chromosome texts and cut ids, in chunks, up to the line where the program
stops), read_run (the run folder, as kolva uses it) and read_results."""
import os
import re
import subprocess

import numpy as np
import pytest
from conftest import MISSING, combined, field, run_kolva

import kolva

CORR = np.array([[1.0, 0.3], [0.3, 1.0]])


def read_all(path, n, chunk, first_n=False):
    chunks = list(kolva.read_pvals(path, n, chunk=chunk, first_n=first_n))
    assert [c.first for c in chunks] == list(range(0, chunk * len(chunks), chunk))
    assert all(len(c.p) == chunk for c in chunks[:-1])
    return (np.concatenate([c.chrom for c in chunks]), np.concatenate([c.id for c in chunks]),
            np.concatenate([c.p for c in chunks]))


def as_kept(chrom, ident, records):
    """The chromosome texts and ids match the program's result records."""
    assert [c.decode() for c in chrom] == [r[2:6] for r in records]
    assert [i.decode() for i in ident] == [r[7:40] for r in records]


@pytest.mark.parametrize("n,variants", [(2, 6000), (20, 600)])
@pytest.mark.parametrize("as_float", [False, True])
def test_studies_read_as_the_program_reads_them(study, n, variants, as_float):
    s = study(n, variants, as_float)
    chrom, ident, p = read_all(s.path, n, 997)
    assert np.array_equal(p, np.where(s.p == MISSING, np.nan, s.p), equal_nan=True)
    as_kept(chrom, ident, s.records)


def test_fields_and_markers(tmp_path):
    lines = ["  1   rs1   0.1  0.2", "chr10 rs2 NA 0.3", "1 " + "x" * 33 + " 0.1 -9.0",
             "1 " + "y" * 40 + " na 0.5", "2 rs5 0.5 0.25\r", "3 rs6 1e-300 NaN", "4 rs7 0.01 N"]
    (tmp_path / "pvals.txt").write_bytes(("\n".join(lines) + "\n").encode())
    records = run_kolva(tmp_path, len(lines), 2, CORR)
    chrom, ident, p = read_all(tmp_path / "pvals.txt", 2, 3)
    as_kept(chrom, ident, records)
    assert ident[3] == b"y" * 30 + b"..." and chrom[1] == b"chr1"
    assert np.array_equal(np.isnan(p), [[0, 0], [1, 0], [0, 1], [1, 0], [0, 0], [0, 1], [0, 1]])
    assert [field(x) for x in kolva.combine(p, CORR)] == [combined(r) for r in records]


@pytest.mark.parametrize("bad,what", [
    ("4 rs4 0.5x 0.1", "a p-value is not a number"),
    ("4 rs4 0.5", "the line ends before its 2 p-values"),
    ("", "the line ends before its 2 p-values"),
    ("4 rs4 0.5 0.1" + " " * (1 << 20), "the line is longer than 1048576 bytes"),
], ids=["not_a_number", "short", "empty", "overlong"])
def test_stops_where_the_program_stops(tmp_path, bad, what):
    lines = ["1 rs1 0.1 0.2", "2 rs2 0.3 0.4", "3 rs3 0.5 0.6", bad, "5 rs5 0.7 0.8"]
    path = tmp_path / "pvals.txt"
    path.write_text("\n".join(lines) + "\n")
    kept = len(run_kolva(tmp_path, len(lines), 2, CORR))
    chunks = kolva.read_pvals(path, 2, chunk=2)
    assert sum(len(next(chunks).p) for _ in range(2)) == kept == 3
    with pytest.raises(ValueError, match=f"^{path}:4: {what}$"):
        next(chunks)
    assert next(chunks, None) is None


def test_arguments(tmp_path):
    with pytest.raises(FileNotFoundError):
        kolva.read_pvals(tmp_path / "none.txt", 2)
    with pytest.raises(IsADirectoryError):
        kolva.read_pvals(tmp_path, 2)
    (tmp_path / "empty.txt").write_text("")
    assert list(kolva.read_pvals(os.fspath(tmp_path / "empty.txt"), 2)) == []
    for phenotypes, chunk in [(-1, 1), (51, 1), (2, 0)]:
        with pytest.raises(ValueError):
            kolva.read_pvals(tmp_path / "empty.txt", phenotypes, chunk)


def test_a_longer_line_is_refused_unless_first_n(tmp_path):
    lines = ["1 rs1 0.1 0.2", "2 rs2 0.3 0.4 0.5", "3 rs3 0.5 0.6"]
    path = tmp_path / "pvals.txt"
    path.write_text("\n".join(lines) + "\n")
    records = run_kolva(tmp_path, len(lines), 2, CORR)
    chunks = kolva.read_pvals(path, 2)
    assert len(next(chunks).p) == 1
    with pytest.raises(ValueError, match=re.escape(
            f"{path}:2: the line holds more than 2 p-values (a file of more phenotypes? kolva "
            "would read the first 2; ask for first_n to do the same)")):
        next(chunks)
    chrom, ident, p = read_all(path, 2, 2, first_n=True)
    as_kept(chrom, ident, records)
    assert [field(x) for x in kolva.combine(p, CORR)] == [combined(r) for r in records]


# A run folder as kolva-prep writes it (the lower triangle, phenotypes.txt),
# and the correlation file in the other forms kolva reads: the whole
# matrix, D exponents, a repeat count, commas, the `/` that ends the
# values; values past the layout's, which kolva does not read.
RUN_CORR = [
    ("lower", "1\n0.4 1\n0.1 0.2 1\n", 0),
    ("full", "1, .4D0 0.1\n0.4 1 0.2\n0.1 0.2 1 /\n", 0),
    ("full", "1 0.4 0.1\n0.4 1 0.2\n0.1 0.2 1\n1 0.3\n", 4),
    ("lower", "1\n0.4 1\n2*0.25 1\n", 0),
]


@pytest.mark.parametrize("layout,corr,beyond", RUN_CORR)
def test_read_run_gives_what_kolva_computes_with(tmp_path, layout, corr, beyond):
    lines = ["1 rs1 0.01 0.2 0.03", "2 rs2 0.5 NA 0.001", "X rs3 -9 0.04 0.5", "1 rs4 1e-9 1 .2"]
    (tmp_path / "defdims").write_text(f"3 4\n{layout}\npvals.txt\ncorr.txt\nresults.txt\n")
    (tmp_path / "corr.txt").write_text(corr)
    (tmp_path / "pvals.txt").write_text("\n".join(lines) + "\nextra line, not read\n")
    (tmp_path / "phenotypes.txt").write_text("ldl\nhdl\ntg\n")
    subprocess.run([os.environ["KOLVA_BIN"]], cwd=tmp_path, check=True, capture_output=True)
    records = (tmp_path / "results.txt").read_text().splitlines()
    run = kolva.read_run(tmp_path)
    assert (run.names, run.phenotypes, run.variants, run.corr_beyond_line) == (
        ("ldl", "hdl", "tg"), 3, 4, beyond)
    assert run.p.shape == (4, 3) and run.pvals_path == os.path.join(tmp_path, "pvals.txt")
    as_kept(run.chrom, run.id, records)
    assert [field(x) for x in kolva.combine(run.p, run.corr)] == [combined(r) for r in records]
    got = list(kolva.read_results(run.results_path, chunk=3))
    assert [len(c.p) for c in got] == [3, 1] and got[1].first == 3
    assert [field(x) for c in got for x in c.p] == [combined(r) for r in records]
    assert np.array_equal(np.concatenate([c.p for c in kolva.read_pvals(tmp_path)]), run.p,
                          equal_nan=True)


@pytest.mark.parametrize("name,text,message", [
    ("pvals.txt", "1 rs1 0.1 0.2\n",
     "pvals.txt:2: the file ends after 1 lines, but the run has 2 variants"),
    ("pvals.txt", "1 rs1 0.1 0.2 0.3\n", "pvals.txt:1: the line holds more than 2 p-values"),
    ("corr.txt", "1\n0.4 x\n", "corr.txt:2: value 3 of the 3 of the lower triangle of 2 "
                               "phenotypes is not a number"),
    ("phenotypes.txt", "a\n \n", "phenotypes.txt:2: no name for phenotype 2"),
    ("defdims", "2\n", "defdims:2: the file ends before the number of phenotypes and of variants"),
])
def test_read_run_stops_where_kolva_stops(tmp_path, name, text, message):
    (tmp_path / "defdims").write_text("2 2\nlower\npvals.txt\ncorr.txt\nresults.txt\n")
    (tmp_path / "corr.txt").write_text("1\n0.4 1\n")
    (tmp_path / "pvals.txt").write_text("1 rs1 0.1 0.2\n2 rs2 0.3 0.4\n")
    (tmp_path / name).write_text(text)
    with pytest.raises(ValueError, match="^" + re.escape(f"{tmp_path}/{message}")):
        kolva.read_run(tmp_path)


def test_results_stop_at_a_line_kolva_does_not_write(tmp_path):
    good = "  1    rs1                                 2 .500000000000000E+00"
    (tmp_path / "r.txt").write_text(f"{good}\r\n{good[:-1]}\r\n")
    chunks = kolva.read_results(tmp_path / "r.txt")
    assert len(next(chunks).p) == 1
    with pytest.raises(ValueError, match=re.escape(f"{tmp_path}/r.txt:2: a record of 64 "
                                                   "characters; result records have 65")):
        next(chunks)


@pytest.mark.parametrize("field,ssf,code,name", [
    ("chrX", False, 23, "X"), ("M", False, 26, "MT"), (b"25", False, 25, "XY"),
    ("25", True, 26, "MT"), ("chr", False, 0, ""), ("Un_1", False, 0, ""),
])
def test_chromosomes_as_the_library_names_them(field, ssf, code, name):
    assert kolva.formats.chrom_code(field, ssf) == code
    assert kolva.formats.chrom_name(code) == name
