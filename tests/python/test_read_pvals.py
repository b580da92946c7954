"""kolva.read_pvals against the program: the same values, chromosome
texts and cut ids, in chunks, up to the line where the program stops."""
import os

import numpy as np
import pytest
from conftest import MISSING, combined, field, run_kolva

import kolva

CORR = np.array([[1.0, 0.3], [0.3, 1.0]])


def read_all(path, n, chunk):
    chunks = list(kolva.read_pvals(path, n, chunk=chunk))
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
    for phenotypes, chunk in [(0, 1), (51, 1), (2, 0)]:
        with pytest.raises(ValueError):
            kolva.read_pvals(tmp_path / "empty.txt", phenotypes, chunk)
