import gzip
import io
import os

import pytest

from conftest import read_records, record
from kolva_report import genome, mapfile, records, ssf, table

# chrom, pos, id, alleles, present: fields of every width, ids Kolva cuts
# to 30 characters and `...`, chromosomes it cuts to 4.
VARIANTS = [
    ("1", 7, "rs1", "A", "G", 2),
    ("chr10", 123456789012, "x" * 33, "ACGT", "A", 3),
    ("X", 15, "y" * 40, "T", "TTTTTTTTTT", 1),
    ("22", 4, "10:4:A:G", "A", "G", 2),
]


@pytest.mark.parametrize("matrix", [True, False])  # both ways of putting rows together
def test_map_lines_checked_against_records_and_joined_to_the_p_column(tmp_path, monkeypatch,
                                                                      matrix):
    if not matrix:
        monkeypatch.setattr(table, "MATRIX_WIDTH", 0)
    lines = [record(c[:4], i if len(i) <= 33 else i[:30] + "...", n,
                    ".250000000000000E-02" if n >= 2 else "-9.00")
             for c, _, i, _, _, n in VARIANTS]
    rec = read_records(tmp_path, lines)
    path = tmp_path / "variants.tsv.gz"
    with gzip.open(path, "wt") as f:
        f.write("chrom\tpos\tid\tallele1\tallele2\tn_present\n")
        f.writelines("\t".join(map(str, v)) + "\n" for v in VARIANTS)
    reader = mapfile.MapReader(str(path))
    m = reader.next(rec, "r.txt")
    reader.finish(len(rec), "r.txt")
    assert list(m.pos) == [v[1] for v in VARIANTS]
    assert m.row(1) == ("chr10", 123456789012, "x" * 33, "ACGT", "A")
    p = ["0.250000000000000E-02\t2.602060"] * 2 + ["NA\tNA", "0.250000000000000E-02\t2.602060"]
    assert table.rows_from_map(m, rec).decode().splitlines() == [
        "\t".join(map(str, v)) + "\t" + q for v, q in zip(VARIANTS, p)]


def test_a_map_refused_at_its_header_is_closed(tmp_path):
    open_fds = lambda: len(os.listdir("/proc/self/fd"))  # noqa: E731
    for name, data in (("plain.tsv", b"chrom\tpos\n"), ("empty.tsv", b""),
                       ("bad.tsv.gz", gzip.compress(b"chrom pos id\n"))):
        path = tmp_path / name
        path.write_bytes(data)
        before = open_fds()
        with pytest.raises(records.FormatError) as refused:
            mapfile.MapReader(str(path))
        assert open_fds() == before, name  # also while its traceback lives
        del refused


def test_ssf_rows(tmp_path):
    lines = [record(c[:4], i if len(i) <= 33 else i[:30] + "...", n,
                    ".250000000000000E-02" if n >= 2 else "-9.00")
             for c, _, i, _, _, n in VARIANTS]
    rec = read_records(tmp_path, lines)
    path = tmp_path / "variants.tsv"
    path.write_text("chrom\tpos\tid\tallele1\tallele2\tn_present\n"
                    + "".join("\t".join(map(str, v)) + "\n" for v in VARIANTS))
    m = mapfile.MapReader(str(path)).next(rec, "r.txt")
    out = io.BytesIO()
    chroms = genome.ChromTable()
    w = ssf.Writer(out)
    w.add(m, rec, chroms.names, chroms.codes(m.chrom))
    p = "0.250000000000000E-02\t2.602060"
    assert out.getvalue().decode().splitlines() == [
        f"1\t7\tA\tG\t#NA\t#NA\t#NA\t{p}\trs1\trs1\t2",
        f"10\t123456789012\tACGT\tA\t#NA\t#NA\t#NA\t{p}\t{'x' * 33}\t#NA\t3",
        f"23\t15\tT\tTTTTTTTTTT\t#NA\t#NA\t#NA\t#NA\t#NA\t{'y' * 40}\t#NA\t1",
        f"22\t4\tA\tG\t#NA\t#NA\t#NA\t{p}\t10:4:A:G\t#NA\t2"]
    assert not w.sorted  # 23 before 22
