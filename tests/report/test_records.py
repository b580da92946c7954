import io
import math

import numpy as np
import pytest
from conftest import record
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


@pytest.mark.parametrize("chunk", [8 << 20, 100])  # one chunk, and lines cut across chunks
def test_every_record_form(monkeypatch, chunk):
    monkeypatch.setattr(records, "CHUNK_BYTES", chunk)
    lines = [record("chr1", f"rs{i}", n, field) for i, (field, n, *_) in enumerate(FORMS)]
    body = "\r\n".join(lines[:-1]) + "\n" + lines[-1]  # CR LF, one plain LF, no last end
    got = list(records.read(io.BytesIO(body.encode()), "r.txt"))
    kind = np.concatenate([r.kind for r in got])
    p = np.concatenate([r.p for r in got])
    text = [bytes(r.ptext[i, :r.plen[i]]).decode() for r in got for i in range(len(r))]
    assert [r.first for r in got][0] == 0 and sum(map(len, got)) == len(FORMS)
    for i, (_, n, k, value, shown) in enumerate(FORMS):
        assert kind[i] == k and text[i] == shown, FORMS[i]
        assert p[i] == value if value is not None else math.isnan(p[i])
        assert float(text[i]) == value if value is not None else True


GOOD = record("1", "rs1", 6, ".728815521369720E+00")
MALFORMED = [
    (GOOD[:-1], "a record of 64 characters"),
    (GOOD[:-3] + "X00", "not in a form Kolva writes"),
    (GOOD.replace(".7", "-7"), "not in a form Kolva writes"),
    (record("1", "rs1", 1, "-8.00"), "not in a form Kolva writes"),
    (GOOD.replace("  6 ", "  x "), "not a result record"),
    (GOOD.replace("  6 ", "1 6 "), "not a number"),
    (record("1", "rs1", 2, "-9.00"), "2 present p-values do not go with a record of 50"),
    (record("1", "rs1", 1, ".728815521369720E+00"), "1 present p-values do not go"),
    ("", "a record of 0 characters"),
]


@pytest.mark.parametrize("line, message", MALFORMED)
def test_malformed_records_name_the_line(line, message):
    body = (GOOD + "\r\n" + line + "\r\n").encode()
    with pytest.raises(records.FormatError, match=f"r.txt:2: .*{message}"):
        list(records.read(io.BytesIO(body), "r.txt"))


def test_rows_without_a_map_number_records_within_their_chromosome():
    lines = [record(c, f"rs{i}", 2, ".100000000000000E-01") for i, c in
             enumerate(["1", "2", "1", "X", "1"])] + [record("2", "rs9", 1, "-9.00")]
    rec = records.parse(("\r\n".join(lines) + "\r\n").encode(), 0, "r.txt")
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
def test_neg_log10_and_short_p_from_the_digits(field, neg, short):
    from kolva_report import pvalues
    rec = records.parse((record("1", "rs1", 2 if field != "-9.00" else 1, field)
                         + "\r\n").encode(), 0, "r.txt")
    text, length = table.neg_columns(rec)
    assert bytes(text[0, :length[0]]).decode() == neg
    assert pvalues.short(bytes(rec.ptext[0, :rec.plen[0]]).decode()) == short


def test_chromosome_plot_order():
    names = ["chrX", "10", "MT", "2", "chr1", "Un_1", "XY", "Y", "23"]
    assert sorted(names, key=genome.order_key) == [
        "chr1", "2", "10", "chrX", "Y", "XY", "MT", "23", "Un_1"]
