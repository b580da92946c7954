"""Combined association p-values over correlated phenotypes.

For every genetic variant, kolva combines the p-values of its association
with up to 50 correlated phenotypes into one variant-level p-value, taking
the correlation among the phenotypes into account through an effective
number of independent tests. Every value is, bit for bit, the one the kolva
program computes from the same numbers, on any number of threads.

    >>> import numpy as np, kolva
    >>> corr = np.array([[1.0, 0.4], [0.4, 1.0]])
    >>> kolva.combine([[0.01, 0.2], [0.3, np.nan]], corr)
    array([0.01897636,        nan])

Functions: combine, effective_tests, read_pvals, default_threads.
"""
from __future__ import annotations

import operator
import os
import sys
from typing import Any, Iterator, List, Literal, NamedTuple, Optional, Tuple, Union, overload

import numpy as np
import numpy.typing as npt

from . import _kolva

__version__: str = _kolva.version()

__all__ = ["Chunk", "Details", "combine", "default_threads", "effective_tests", "read_pvals"]

# The element types the engine reads where they lie.
_ELEMENTS = (np.dtype(np.float64), np.dtype(np.float32))


class Details(NamedTuple):
    """What combine(..., details=True) gives: one entry per variant in each.

    p          float64: the combined p-value; NaN where fewer than two
               p-values are present.
    n_present  int32: the p-values present.
    j          int32: the attaining block, the smallest j at which
               (M / M(j)) * p(j) is least, p(1) <= p(2) <= ... the present
               p-values sorted; 0 where there is no combined p-value.
    m          float64: M, the effective number of tests of the present
               phenotypes; NaN where fewer than two are present.
    mj         float64: M(j) of that j; NaN where j is 0.
    order      int8, variants x phenotypes: the 0-based phenotype columns in
               the order of the variant's p-values (ties as the engine sorts
               them), then -1 past the present ones; the first j carry the
               variant.
    """

    p: npt.NDArray[np.float64]
    n_present: npt.NDArray[np.int32]
    j: npt.NDArray[np.int32]
    m: npt.NDArray[np.float64]
    mj: npt.NDArray[np.float64]
    order: npt.NDArray[np.int8]


class Chunk(NamedTuple):
    """A chunk of lines of a p-value file, as read_pvals gives it.

    first  the 0-based number of its first line in the file.
    chrom  numpy S4, one per line: the chromosome field as kolva keeps it
           (its first 4 characters, blank-padded).
    id     numpy S33: the variant id as kolva keeps it (blank-padded; an id
           longer than 33 characters is cut to 30 and "...").
    p      float64, lines x phenotypes: the p-values as kolva reads them,
           NaN where missing (-9, NA, N or NaN in the file).
    """

    first: int
    chrom: npt.NDArray[np.bytes_]
    id: npt.NDArray[np.bytes_]
    p: npt.NDArray[np.float64]


@overload
def combine(p: Any, corr: Any, threads: Optional[int] = ...,
            details: Literal[False] = ...) -> npt.NDArray[np.float64]: ...


@overload
def combine(p: Any, corr: Any, threads: Optional[int] = ..., *,
            details: Literal[True]) -> Details: ...


@overload
def combine(p: Any, corr: Any, threads: Optional[int],
            details: bool) -> Union[npt.NDArray[np.float64], Details]: ...


def combine(p: Any, corr: Any, threads: Optional[int] = None,
            details: bool = False) -> Union[npt.NDArray[np.float64], Details]:
    """The combined p-value of every variant.

    p        the p-values, variants x phenotypes (2-D), in the phenotype
             order of corr. A p-value is missing when it is NaN or exactly
             -9; any other value is used as it is, as kolva uses it. Read
             where it lies, without a copy: a numpy float64 or float32 array
             in C or Fortran order or any strided view of one, or a pandas
             DataFrame whose columns are float64 or float32 (other columns
             are converted, each once). Anything else is converted once to
             a float64 array.
    corr     the phenotype correlation matrix, n x n, n <= 50: full,
             finite and exactly symmetric.
    threads  threads to compute on; None (or 0) for the default, that of
             the kolva program (default_threads()). The results are the
             same, bit for bit, for every count.
    details  False: the combined p-values alone; True: a Details.

    Returns a float64 array of one combined p-value per variant, NaN where
    fewer than two p-values are present (or a Details). Every value printed
    to 15 significant digits gives the kolva program's digits.

    Raises ValueError when p is not 2-D, has other than n columns, or corr
    is not an n x n matrix as above (n from 1 to 50). The GIL is released
    while the values are computed.
    """
    engine = _engine(corr)
    count = 0 if threads is None else operator.index(threads)
    frame = _frame_columns(p)
    if frame is not None:
        got = engine.combine_columns(frame[0], frame[1], count, details)
    else:
        got = engine.combine_strided(_matrix(p), count, details)
    if details:
        assert isinstance(got, tuple)
        return Details(*got)
    assert isinstance(got, np.ndarray)
    return got


def effective_tests(corr: Any) -> float:
    """M of the whole phenotype correlation matrix corr (n x n, as for
    combine), the phenotypes in column order: the M of a variant with every
    p-value present and in ascending order across the columns; 1 for n = 1.
    """
    return _engine(corr).effective_tests()


def read_pvals(path: Union[str, os.PathLike[str]], phenotypes: int,
               chunk: int = 1 << 20) -> Iterator[Chunk]:
    """The lines of a p-value file, as the kolva program reads them.

    path        a p-value file as kolva reads it (pvals.txt of kolva-prep):
                per line a chromosome field, a variant id and `phenotypes`
                p-values, separated by blanks, no header.
    phenotypes  the p-values a line (1 to 50).
    chunk       lines a chunk holds at most.

    Returns an iterator of Chunk, one for each `chunk` lines up to the end
    of the file (the last holds the rest), every value the one the program
    reads; only one chunk is held at a time. The file is opened here
    (OSError when it cannot be); it is read in C++ without the GIL.

    A line at which the program would stop raises ValueError("FILE:LINE:
    what"), LINE counted from 1, once the chunk of the lines before it has
    been given: a value that is not a number, fewer than `phenotypes`
    values, a line longer than 1 MiB, or a read failure.
    """
    chunks = _kolva.Chunks(os.fspath(path), operator.index(phenotypes), operator.index(chunk))
    return _each(chunks)


def default_threads() -> int:
    """The default thread count, as the kolva program takes it: KOLVA_THREADS
    when it holds a whole number from 1 up, else the CPUs this process may
    run on; at most 128."""
    return _kolva.default_threads()


def _each(chunks: _kolva.Chunks) -> Iterator[Chunk]:
    while (got := chunks.next()) is not None:
        yield Chunk(*got)


def _engine(corr: Any) -> _kolva.Engine:
    c = np.asarray(corr, dtype=np.float64)
    if c.ndim != 2:
        raise ValueError(f"correlation matrix must be 2-D (n x n), not {c.ndim}-D")
    return _kolva.Engine(c if _readable(c) else np.ascontiguousarray(c))


def _readable(a: npt.NDArray[Any]) -> bool:
    """True when the engine reads a where it lies: float64 or float32, in the
    machine's byte order, aligned, its strides whole elements."""
    return (a.dtype in _ELEMENTS and a.dtype.isnative and bool(a.flags.aligned)
            and all(s % a.itemsize == 0 for s in a.strides))


def _matrix(p: Any) -> npt.NDArray[Any]:
    """p as a 2-D array the engine reads: p itself where it can."""
    a = p if isinstance(p, np.ndarray) else np.asarray(p)
    if isinstance(a, np.ma.MaskedArray):
        a = np.ma.filled(a.astype(np.float64), np.nan)  # type: ignore[no-untyped-call]
    if a.ndim != 2:
        raise ValueError(f"p-values must be 2-D (variants x phenotypes), not {a.ndim}-D")
    return a if _readable(a) else np.ascontiguousarray(a, dtype=np.float64)


def _frame_columns(p: Any) -> Optional[Tuple[List[npt.NDArray[Any]], int]]:
    """For a pandas DataFrame, one array per column, each the column's own
    values where the engine can read them, and the number of rows; None for
    anything else. Columns of float64 and float32 mixed are read as float64."""
    pandas = sys.modules.get("pandas")
    if pandas is None or not isinstance(p, pandas.DataFrame):
        return None
    columns = [_column(p.iloc[:, c]) for c in range(p.shape[1])]
    if len({c.dtype for c in columns}) > 1:
        columns = [c.astype(np.float64, copy=False) for c in columns]
    return columns, int(p.shape[0])


def _column(s: Any) -> npt.NDArray[Any]:
    if isinstance(s.dtype, np.dtype) and s.dtype in _ELEMENTS:
        a: npt.NDArray[Any] = s.to_numpy()
    else:
        a = s.to_numpy(dtype=np.float64, na_value=np.nan)
    return a if _readable(a) else np.ascontiguousarray(a, dtype=np.float64)
