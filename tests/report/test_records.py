import math
import re

import numpy as np
import pytest
from conftest import read_records, record
from kolva_report import genome, records, table
from kolva_report.records import ABOVE_ONE, NONFINITE, NUMBER, STARS, UNTESTED

# p field, present count, kind, value, the table's p column
FORMS = [
    (".728815521369720E+00", 6, NUMBER, 0.72881552136972, "0.728815521369720E+00"),
    (".500000000000000E-05", 2, NUMBER, 5e-06, "0.500000000000000E-05"),
    (".183482830401044-100", 6, NUMBER, 1.83482830401044e-101, "0.183482830401044E-100"),
    (".000000000000000E+00", 2, NUMBER, 0.0, "0.000000000000000E+00"),
    (".100000000000000+101", 3, ABOVE_ONE, 1e100, "0.100000000000000E+101"),
    ("-9.00", 1, UNTESTED, None, "NA"),
    ("-9.00", 0, UNTESTED, None, "NA"),
    ("*" * 20, 4, STARS, None, "NA"),
    ("NaN".rjust(20), 2, NONFINITE, None, "NA"),
    ("-Infinity".rjust(20), 2, NONFINITE, None, "NA"),
]


@pytest.mark.parametrize("chunk", [records.CHUNK, 4])  # one chunk, and several
def test_every_record_form(tmp_path, chunk):
    lines = [record("chr1", f"rs{i}", n, field) for i, (field, n, *_) in enumerate(FORMS)]
    body = "\r\n".join(lines[:-1]) + "\n" + lines[-1]  # CR LF, one plain LF, no last end
    (tmp_path / "r.txt").write_bytes(body.encode())
    got = list(records.read(str(tmp_path / "r.txt"), chunk))
    kind = np.concatenate([r.kind for r in got])
    p = np.concatenate([r.p for r in got])
    text = [bytes(r.ptext[i, :r.plen[i]]).decode() for r in got for i in range(len(r))]
    assert [r.first for r in got] == list(range(0, len(FORMS), chunk))
    for i, (_, n, k, value, shown) in enumerate(FORMS):
        assert kind[i] == k and text[i] == shown, FORMS[i]
        assert p[i] == value if value is not None else math.isnan(p[i])
        assert float(text[i]) == value if value is not None else True


GOOD = record("1", "rs1", 6, ".728815521369720E+00")
MALFORMED = [
    (GOOD[:-1], "a record of 64 characters; result records have 65, or 50 when the p-value is "
                "-9.00: '  1    rs1 "),
    (GOOD[:-3] + "X00", "the p-value (columns 46-65) is not in a form Kolva writes"),
    (GOOD.replace(".7", "-7"), "the p-value (columns 46-65) is not in a form Kolva writes"),
    (record("1", "rs1", 1, "-8.00"), "the p-value (columns 46-65) is not in a form Kolva"),
    (GOOD.replace("  6 ", "  x "), "not a result record: columns 1, 2, 7, 41 and 45 must be "
                                   "blank, columns 42-44 the count of present p-values"),
    (GOOD.replace("  6 ", "1 6 "), "the count of present p-values (columns 42-44) is not a "
                                   "number"),
    (record("1", "rs1", 2, "-9.00"), "2 present p-values do not go with a record of 50 "
                                     "characters"),
    (record("1", "rs1", 1, ".728815521369720E+00"), "1 present p-values do not go"),
    ("", "a record of 0 characters"),
]


@pytest.mark.parametrize("line, message", MALFORMED)
def test_malformed_records_name_the_line(tmp_path, line, message):
    path = tmp_path / "r.txt"
    path.write_bytes((GOOD + "\r\n" + line + "\r\n").encode())
    with pytest.raises(records.FormatError, match=re.escape(f"{path}:2: {message}")):
        list(records.read(str(path)))


def test_rows_without_a_map_number_records_within_their_chromosome(tmp_path):
    lines = [record(c, f"rs{i}", 2, ".100000000000000E-01") for i, c in
             enumerate(["1", "2", "1", "X", "1"])] + [record("2", "rs9", 1, "-9.00")]
    rec = read_records(tmp_path, lines)
    codes = genome.ChromTable().codes(rec.chrom)
    pos = genome.WithinChrom().number(codes)
    rows = table.rows_from_records(rec, pos).decode().splitlines()
    assert [r.split("\t")[1] for r in rows] == ["1", "1", "2", "1", "3", "2"]
    assert rows[0] == "1\t1\trs0\t\t\t2\t0.100000000000000E-01\t2.000000"
    assert rows[5] == "2\t2\trs9\t\t\t1\tNA\tNA"


# The record's p field -> neg_log10_p and the page's short form: from the
# digits, exact below the smallest double; p = 0 as the smallest double.
@pytest.mark.parametrize("field, neg, short", [
    (".500000000000000E-05", "5.301030", "5.00e-06"),
    (".999500000000000E-04", "4.000217", "1.00e-04"),
    (".183482830401044-100", "100.736405", "1.83e-101"),
    (".100000000000000-329", "330.000000", "1.00e-330"),
    (".000000000000000E+00", "323.306215", "< 4.94e-324"),
    ("-9.00", "NA", "n/a"),
])
def test_neg_log10_and_short_p_from_the_digits(tmp_path, field, neg, short):
    from kolva_report import pvalues
    path = tmp_path / "r.txt"
    path.write_bytes((record("1", "rs1", 2 if field != "-9.00" else 1, field) + "\r\n").encode())
    rec = next(records.read(str(path)))
    text, length = table.neg_columns(rec)
    assert bytes(text[0, :length[0]]).decode() == neg
    assert pvalues.short(bytes(rec.ptext[0, :rec.plen[0]]).decode()) == short


def test_chromosome_plot_order():
    # 23 is X to kolva-prep; 27 is no chromosome it knows.
    names = ["chrX", "10", "MT", "2", "chr1", "Un_1", "XY", "Y", "27", "23"]
    assert sorted(names, key=genome.order_key) == [
        "chr1", "2", "10", "chrX", "23", "Y", "XY", "MT", "27", "Un_1"]
    assert [genome.label(n) for n in ("chr1", "chrM", "23", "chrUn")] == ["1", "MT", "X", "Un"]
