"""kolva.combine against the program's result files, every variant, to the
15 digits it prints, in every form the module takes p-values (without a
copy); its errors."""
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


@pytest.mark.parametrize("p,corr,message", [
    (np.full(3, 0.5), np.eye(3), "p-values must be 2-D"),
    (np.full((2, 2, 2), 0.5), np.eye(2), "p-values must be 2-D"),
    (np.full((4, 3), 0.5), np.eye(2), "p-values have 3 columns but the correlation matrix has 2"),
    (np.full((1, 51), 0.5), np.eye(51), "51 phenotypes; at most 50"),
    (np.full((1, 2), 0.5), np.ones((2, 3)), "not square: 2 rows, 3 columns"),
    (np.full((1, 2), 0.5), np.ones(4), "must be 2-D (n x n), not 1-D"),
    (np.full((1, 3), 0.5), _corr(3, c10=0.5), "not symmetric: row 1, column 2 holds 0"),
    (np.full((1, 3), 0.5), _corr(3, c22=np.inf), "row 3, column 3 is not finite"),
], ids=["p_1d", "p_3d", "columns", "over_50", "not_square", "corr_1d", "asymmetric", "inf"])
def test_value_errors(p, corr, message):
    with pytest.raises(ValueError, match=message.replace("(", r"\(").replace(")", r"\)")):
        kolva.combine(p, corr)
