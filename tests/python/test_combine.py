"""kolva.combine against the program's result files, every variant, to the
15 digits it prints, in every form the module takes p-values (without a
copy); its errors."""
import re
import tracemalloc

import numpy as np
import pandas as pd
import pytest
from conftest import MISSING, combined, field

import kolva

SHAPES = [(2, 6000), (5, 3000), (20, 600), (50, 120)]


def strided(p):
    """p as a view with steps of two, rows reversed (negative strides)."""
    wide = np.full((p.shape[0], 2 * p.shape[1]), 0.5)
    wide[::-1, ::2] = p
    return wide[::-1, ::2]


# name, study in float32, missing as NaN, the form p is given in, threads
FORMS = [
    ("c_m9_t1", False, False, np.ascontiguousarray, 1),
    ("fortran_nan_t2", False, True, np.asfortranarray, 2),
    ("strided_nan_t1", False, True, strided, 1),
    ("list_m9_t2", False, False, lambda p: p.tolist(), 2),
    ("frame_nan_t2", False, True, pd.DataFrame, 2),
    ("float32_c_nan_t2", True, True, lambda p: p.astype(np.float32), 2),
    ("float32_fortran_m9_t1", True, False, lambda p: np.asfortranarray(p, np.float32), 1),
    ("float32_frame_m9_t1", True, False, lambda p: pd.DataFrame(p.astype(np.float32)), 1),
]


@pytest.mark.parametrize("n,variants", SHAPES)
@pytest.mark.parametrize("name,as_float,nan,form,threads", FORMS, ids=[f[0] for f in FORMS])
def test_every_value_is_the_programs(study, n, variants, name, as_float, nan, form, threads):
    s = study(n, variants, as_float)
    p = np.where(s.p == MISSING, np.nan, s.p) if nan else s.p
    got = kolva.combine(form(p), s.corr, threads=threads)
    assert got.dtype == np.float64 and got.shape == (variants,)
    assert [field(x) for x in got] == [combined(record) for record in s.records]


@pytest.mark.parametrize("n,variants", SHAPES)
def test_details(study, n, variants):
    s = study(n, variants)
    d = kolva.combine(s.p, s.corr, details=True)
    assert np.array_equal(d.p, kolva.combine(s.p, s.corr), equal_nan=True)
    assert list(d.n_present) == [int(record[41:44]) for record in s.records]
    combined = d.n_present >= 2
    assert np.all(np.isnan(d.m) != combined) and np.all((d.j > 0) <= combined)
    assert np.all(np.isnan(d.mj) == (d.j == 0))
    assert d.order.shape == (variants, n) and d.order.dtype == np.int8
    for present, order, row in zip(d.n_present, d.order, s.p):
        assert list(np.sort(order[:present])) == list(np.flatnonzero(row != MISSING))
        assert np.all(order[present:] == -1)
    ascending = np.arange(1, n + 1, dtype=np.float64)[None, :] / (n + 1)
    want = kolva.combine(ascending, s.corr, details=True).m[0] if n > 1 else 1.0
    assert kolva.effective_tests(s.corr) == want


@pytest.mark.parametrize("form", [np.asfortranarray, strided, lambda p: p.astype(np.float32),
                                  pd.DataFrame, lambda p: pd.DataFrame(p).astype(np.float32)])
def test_no_copy(form):
    p = form(np.full((200000, 5), 0.5))
    tracemalloc.start()
    kolva.combine(p, np.eye(5), details=True)
    peak = tracemalloc.get_traced_memory()[1]
    tracemalloc.stop()
    assert peak < 200000 * (5 + 3 * 8 + 2 * 4) * 1.1  # the details alone


def test_nothing_to_combine():
    corr = np.eye(3)
    assert kolva.combine(np.empty((0, 3)), corr).shape == (0,)
    assert np.isnan(kolva.combine([[0.5, np.nan, -9]], corr)[0])


def _corr(n, **at):
    c = np.eye(n)
    for where, x in at.items():
        c[int(where[1]), int(where[2])] = x
    return c


def _quoted(message):
    return "^" + re.escape(message) + "$"


@pytest.mark.parametrize("p,corr,message", [
    (np.full(3, 0.5), np.eye(3), "p-values must be 2-D (variants x phenotypes), not 1-D"),
    (np.full((2, 2, 2), 0.5), np.eye(2), "p-values must be 2-D (variants x phenotypes), not 3-D"),
    (np.full((4, 3), 0.5), np.eye(2),
     "p-values have 3 columns but the correlation matrix has 2 phenotypes"),
    (np.full((1, 51), 0.5), np.eye(51),
     "correlation matrix has 51 phenotypes; at most 50 are allowed"),
    (np.full((1, 2), 0.5), np.ones((2, 3)), "correlation matrix is not square: 2 rows, 3 columns"),
    (np.full((1, 2), 0.5), np.ones(4), "correlation matrix must be 2-D (n x n), not 1-D"),
    (np.full((1, 3), 0.5), _corr(3, c10=0.5),
     "correlation matrix is not symmetric: row 1, column 2 holds 0 but row 2, column 1 holds 0.5"),
    (np.full((1, 3), 0.5), _corr(3, c22=np.inf),
     "correlation matrix: entry at row 3, column 3 is not finite (inf)"),
    (np.full((1, 3), 0.5), _corr(3, c11=2.0),
     "correlation matrix: entry at row 2, column 2 is 2; a correlation matrix has 1 on its "
     "diagonal"),
    (np.full((1, 3), 0.5), _corr(3, c01=5.0, c10=5.0),
     "correlation matrix: entry at row 1, column 2 is 5; a correlation lies in [-1, 1]"),
    ([[0.5, 0.5], [0.5, -0.2]], np.eye(2),
     "p-values: the value at row 2, column 2 is -0.2; a p-value lies in [0, 1] (NaN or -9 for a "
     "missing one)"),
    (np.array([[0.5, 1.5]], np.float32), np.eye(2),
     "p-values: the value at row 1, column 2 is 1.5; a p-value lies in [0, 1] (NaN or -9 for a "
     "missing one)"),
    ([[0.5, 0.5], [0.5]], np.eye(2), "p is not a table of numbers: its rows differ in length"),
], ids=["p_1d", "p_3d", "columns", "over_50", "not_square", "corr_1d", "asymmetric", "inf",
        "diagonal", "corr_5", "p_negative", "p_float32_above_1", "ragged"])
def test_value_errors(p, corr, message):
    with pytest.raises(ValueError, match=_quoted(message)):
        kolva.combine(p, corr)


def test_as_given_uses_the_values_as_kolva_does():
    corr = _corr(2, c01=0.4, c10=0.4)
    p = [[0.01, -0.2]]
    assert kolva.combine(p, corr, as_given=True)[0] < 0  # as the program computes it
    assert kolva.effective_tests(2 * corr, as_given=True) > 0
    with pytest.raises(ValueError, match="a correlation matrix has 1 on its diagonal"):
        kolva.effective_tests(2 * corr)


FRAME = pd.DataFrame({"a": [0.1], "b": [0.2]})


@pytest.mark.parametrize("call,message", [
    (lambda: kolva.combine([[True, False]], np.eye(2)), "p is bool; p-values must be real numbers"),
    (lambda: kolva.combine([[1j, 0.5]], np.eye(2)), "p is complex128; p-values must be real"),
    (lambda: kolva.combine([["0.1", "0.2"]], np.eye(2)), "p is <U3; p-values must be real"),
    (lambda: kolva.combine(FRAME.assign(b=["x"]), np.eye(2)),
     "column 'b' of p is object; p-values must be real numbers"),
    (lambda: kolva.combine(FRAME.assign(a=pd.array([True], "boolean")), np.eye(2)),
     "column 'a' of p is boolean; p-values must be real numbers"),
    (lambda: kolva.combine(FRAME, pd.DataFrame({"a": [1, True], "b": [0.0, 1.0]})),
     "column 'a' of corr is object; correlations must be real numbers"),
    (lambda: kolva.combine(FRAME, np.eye(2, dtype=bool)), "corr is bool; correlations must be"),
    (lambda: kolva.combine(FRAME, np.eye(2), details="yes"),
     "details must be True or False, not str"),
    (lambda: kolva.combine(FRAME, np.eye(2), as_given=1),
     "as_given must be True or False, not int"),
    (lambda: kolva.combine(FRAME, np.eye(2), threads=2.0),
     "threads must be a whole number or None, not float"),
    (lambda: kolva.read_pvals(3, 2), "path must be a file name (str or os.PathLike), not int"),
    (lambda: kolva.read_pvals("p.txt", "2"), "phenotypes must be a whole number, not str"),
], ids=["bool", "complex", "text", "frame_object", "frame_boolean", "corr_frame_object",
        "corr_bool", "details", "as_given", "threads", "path", "phenotypes"])
def test_type_errors_are_one_short_line(call, message):
    with pytest.raises(TypeError, match="^" + re.escape(message)) as e:
        call()
    assert "\n" not in str(e.value) and len(str(e.value)) < 100


def test_threads_none_and_zero_are_the_default(monkeypatch):
    p, corr = np.full((600, 3), 0.5), np.eye(3)
    want = kolva.combine(p, corr, threads=1)
    for threads in (None, 0, 1000):
        assert np.array_equal(kolva.combine(p, corr, threads=threads), want)
    with pytest.raises(ValueError, match="^threads must be 0 \\(the default\\) or more, not -1$"):
        kolva.combine(p, corr, threads=-1)
    monkeypatch.setenv("KOLVA_THREADS", "many")
    for call in (kolva.default_threads, lambda: kolva.combine(p, corr)):
        with pytest.raises(ValueError, match="^KOLVA_THREADS must be a whole number"):
            call()
    assert np.array_equal(kolva.combine(p, corr, threads=2), want)


NAMES = ["t1", "t2", "t3", "t4", "t5"]


def _labelled_study():
    rng = np.random.default_rng(5)
    corr = np.full((5, 5), 0.2)
    corr[0, 1] = corr[1, 0] = 0.8
    np.fill_diagonal(corr, 1)
    return pd.DataFrame(rng.random((50, 5)), columns=NAMES), pd.DataFrame(corr, NAMES, NAMES)


def test_a_correlation_frame_is_matched_to_p_by_name():
    p, corr = _labelled_study()
    want = kolva.combine(p.to_numpy(), corr.to_numpy())
    reversed_labels = corr.loc[NAMES[::-1], NAMES[::-1]]
    assert not np.array_equal(kolva.combine(p.to_numpy(), reversed_labels.to_numpy()), want)
    for p_form, corr_form in [(p, reversed_labels), (p[NAMES[::-1]], corr),
                              (p.to_numpy(), corr)]:  # p without names: corr by position
        assert np.array_equal(kolva.combine(p_form, corr_form), want)


@pytest.mark.parametrize("p_names,corr_rows,corr_cols,message", [
    (NAMES, NAMES, NAMES[::-1],
     "corr's rows and columns are labelled differently: row 1 is 't1', column 1 is 't5'"),
    (NAMES[:4] + ["t6"], NAMES, NAMES,
     "p's column names are not corr's labels: p has 't6', corr has not; corr has 't5', p has not"),
    (NAMES[:4] + ["t1"], NAMES, NAMES, "p's column names: 't1' stands twice"),
    (NAMES, NAMES[:4] + ["t1"], NAMES[:4] + ["t1"], "corr's labels: 't1' stands twice"),
], ids=["rows_and_columns", "other_names", "p_twice", "corr_twice"])
def test_labels_that_do_not_go_together(p_names, corr_rows, corr_cols, message):
    p, corr = _labelled_study()
    with pytest.raises(ValueError, match=_quoted(message)):
        kolva.combine(p.set_axis(p_names, axis=1),
                      pd.DataFrame(corr.to_numpy(), corr_rows, corr_cols))
