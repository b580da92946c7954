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

Functions: combine, effective_tests, read_run, read_run_setup, read_pvals,
read_results, default_threads; the layout facts of kolva's files in
kolva.formats. Every file is read by the library exactly as the kolva
program reads it.
"""
from __future__ import annotations

import operator
import os
import sys
import warnings
from dataclasses import dataclass
from typing import (Any, Iterator, List, Literal, NamedTuple, Optional, Sequence, Tuple, Union,
                    overload)

import numpy as np
import numpy.typing as npt

from . import _kolva, formats

__version__: str = _kolva.version()

__all__ = ["Chunk", "Details", "ResultChunk", "Run", "RunSetup", "combine", "default_threads",
           "effective_tests", "formats", "read_pvals", "read_results", "read_run",
           "read_run_setup"]

# The element types the engine reads where they lie.
_ELEMENTS = (np.dtype(np.float64), np.dtype(np.float32))
# The largest count the library takes (a C int).
_INT_MAX = (1 << 31) - 1
_Path = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


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


class ResultChunk(NamedTuple):
    """A chunk of records of a result file of kolva, as read_results gives it.

    first      the 0-based number of its first record.
    chrom, id  numpy S4 and S33: the fields as written (blank-padded).
    n_present  int32: the count of present p-values.
    kind       int8: what the p field holds: formats.RECORD_P (a combined
               p-value), RECORD_UNTESTED (-9.00: fewer than two present),
               RECORD_STARS (asterisks), RECORD_NONFINITE (NaN, Infinity or
               -Infinity).
    p          float64: the value of the p field; NaN for -9.00 and
               asterisks.
    ptext      numpy S20: the p field's characters as written, right-aligned
               (the 15 printed digits).
    """

    first: int
    chrom: npt.NDArray[np.bytes_]
    id: npt.NDArray[np.bytes_]
    n_present: npt.NDArray[np.int32]
    kind: npt.NDArray[np.int8]
    p: npt.NDArray[np.float64]
    ptext: npt.NDArray[np.bytes_]


@dataclass(frozen=True, eq=False)
class RunSetup:
    """A run folder without its p-values, as read_run_setup gives it: what
    defdims, the correlation file and phenotypes.txt hold, read as the
    kolva program reads them.

    folder            the folder as given.
    phenotypes        n, the phenotypes (defdims).
    variants          the variants defdims gives.
    full_layout       True when the correlation file holds the whole matrix,
                      False for its lower triangle.
    names             the n phenotype names: phenotypes.txt's (one a line,
                      as kolva-prep writes it), else "1" ... "n".
    corr              float64, n x n: the correlation matrix as kolva uses
                      it (the lower triangle made whole); not range-checked
                      here (combine checks it).
    corr_beyond_line  the line of the correlation file where values beyond
                      the layout's begin (kolva reads the first n(n+1)/2 or
                      n*n and ignores the rest); 0 when there are none.
    defdims_path, pvals_path, corr_path, results_path
                      the files: defdims and the three it names.
    names_path        phenotypes.txt, or None when the folder has none.
    """

    folder: str
    phenotypes: int
    variants: int
    full_layout: bool
    names: Tuple[str, ...]
    corr: npt.NDArray[np.float64]
    corr_beyond_line: int
    defdims_path: str
    pvals_path: str
    corr_path: str
    results_path: str
    names_path: Optional[str]


@dataclass(frozen=True, eq=False)
class Run(RunSetup):
    """A whole run folder, as read_run gives it: RunSetup's fields and the
    run's p-value file, every one of its `variants` lines.

    chrom  numpy S4, one per variant: the chromosome field as kolva keeps
           it (blank-padded; as in Chunk).
    id     numpy S33: the variant id as kolva keeps it.
    p      float64, variants x phenotypes: the p-values as kolva reads
           them, NaN where missing, in the columns of `names` and `corr`.
    """

    chrom: npt.NDArray[np.bytes_]
    id: npt.NDArray[np.bytes_]
    p: npt.NDArray[np.float64]


@overload
def combine(p: Any, corr: Any, threads: Optional[int] = ...,
            details: Literal[False] = ..., as_given: bool = ...) -> npt.NDArray[np.float64]: ...


@overload
def combine(p: Any, corr: Any, threads: Optional[int] = ..., *,
            details: Literal[True], as_given: bool = ...) -> Details: ...


@overload
def combine(p: Any, corr: Any, threads: Optional[int], details: bool,
            as_given: bool = ...) -> Union[npt.NDArray[np.float64], Details]: ...


def combine(p: Any, corr: Any, threads: Optional[int] = None, details: bool = False,
            as_given: bool = False) -> Union[npt.NDArray[np.float64], Details]:
    """The combined p-value of every variant.

    p         the p-values, variants x phenotypes (2-D), in the phenotype
              order of corr. A p-value is missing when it is NaN or exactly
              -9; every other must lie in [0, 1]. Read where it lies,
              without a copy: a numpy float64 or float32 array in C or
              Fortran order or any strided view of one, or a pandas
              DataFrame whose columns are float64 or float32 (other real
              columns are converted, each once). Anything else of real
              numbers is converted once to a float64 array.
    corr      the phenotype correlation matrix, n x n, n <= 50: finite,
              exactly symmetric, every entry in [-1, 1] and 1 on the
              diagonal. A pandas DataFrame is taken by its labels: its rows
              and columns must carry the same labels in the same order, and
              when p is a DataFrame too, they are matched to p's column
              names (the same names, in any order).
    threads   threads to compute on: None or 0 for the default, that of the
              kolva program (default_threads(): KOLVA_THREADS, else the
              CPUs this process may use); at most 128 are started. The
              results are the same, bit for bit, for every count.
    details   False: the combined p-values alone; True: a Details.
    as_given  True: the values used as given, as the kolva program uses the
              numbers of its files (no p-value refused for lying outside
              [0, 1], no correlation for lying outside [-1, 1] or for a
              diagonal other than 1); for reproducing the program's files.

    Returns a float64 array of one combined p-value per variant, NaN where
    fewer than two p-values are present (or a Details). Every value printed
    to 15 significant digits gives the kolva program's digits.

    Raises TypeError for values that are not real numbers (bool, complex,
    text, objects; naming the column of a DataFrame) and for arguments of
    the wrong type; ValueError, naming the row and column (from 1), for a
    p-value or correlation as above that is not possible, when p is not 2-D
    or has other than n columns, corr is not an n x n matrix as above (n
    from 1 to 50), or the labels of p and corr do not go together. The GIL
    is released while the values are computed.
    """
    _flag("details", details)
    _flag("as_given", as_given)
    count = _threads(threads)
    frame = _frame_columns(p)
    engine = _engine(corr, as_given, frame[2] if frame is not None else None)
    if frame is not None:
        got = engine.combine_columns(frame[0], frame[1], count, bool(details), bool(as_given))
    else:
        got = engine.combine_strided(_matrix(p), count, bool(details), bool(as_given))
    if details:
        assert isinstance(got, tuple)
        return Details(*got)
    assert isinstance(got, np.ndarray)
    return got


def effective_tests(corr: Any, as_given: bool = False) -> float:
    """M of the whole phenotype correlation matrix corr (n x n, checked as
    for combine; as_given as there), the phenotypes in column order: the M
    of a variant with every p-value present and in ascending order across
    the columns; 1 for n = 1.
    """
    _flag("as_given", as_given)
    return _engine(corr, as_given, None).effective_tests()


def read_run_setup(path: _Path) -> RunSetup:
    """A run folder's defdims, correlation file and phenotype names, read by
    the library as the kolva program reads them; not its p-values.

    path  the run folder (a kolva-prep output folder, or any folder with a
          defdims).

    Returns a RunSetup. Raises OSError when defdims, the correlation file
    or phenotypes.txt cannot be opened or read; ValueError("FILE:LINE:
    what") where kolva would stop (defdims' counts or lines, more than 50
    phenotypes, a value that is not a number, a file that ends before its
    values, a whole matrix that is not symmetric) and for a phenotypes.txt
    that does not hold n distinct, non-blank names.
    """
    folder = _path(path)
    d = _kolva.read_run(folder)
    return RunSetup(folder=os.fsdecode(folder), **d)


def read_run(path: _Path, first_n: bool = False) -> Run:
    """A whole run folder, read by the library as the kolva program reads
    it: read_run_setup's fields and the run's p-value file, the `variants`
    lines kolva reads (lines past them are not read), each with the chromosome,
    the id and n p-values.

    path     the run folder.
    first_n  True: a p-value line with more values than the phenotypes
             is read for its first n, as kolva reads it, instead of refused.

    Returns a Run, whose p, corr and names go together for combine:

        >>> run = kolva.read_run("my-study")
        >>> p = kolva.combine(run.p, run.corr)

    Raises as read_run_setup, and ValueError("FILE:LINE: what") at a
    p-value line kolva would stop at (as read_pvals), at a line of more
    values than the phenotypes (unless first_n), and when the file has fewer
    lines than the run's variants.
    """
    _flag("first_n", first_n)
    setup = read_run_setup(path)
    fields = {k: getattr(setup, k) for k in RunSetup.__dataclass_fields__}
    if setup.corr_beyond_line:
        warnings.warn(f"{setup.corr_path}:{setup.corr_beyond_line}: the correlation file holds "
                      f"more values than its {'full' if setup.full_layout else 'lower'} layout "
                      "needs; kolva does not read them", stacklevel=2)
    reader = _kolva.PvalReader(os.fsencode(setup.pvals_path), setup.phenotypes, setup.variants,
                               bool(first_n))
    chrom, ident, p = reader.read_all(setup.variants)
    return Run(**fields, chrom=chrom, id=ident, p=p)


def read_pvals(path: _Path, phenotypes: Optional[int] = None, chunk: int = 1 << 20,
               first_n: bool = False) -> Iterator[Chunk]:
    """The lines of a p-value file, as the kolva program reads them, in
    chunks (for studies that do not fit in memory).

    path        a p-value file as kolva reads it (pvals.txt of kolva-prep):
                per line a chromosome field, a variant id and `phenotypes`
                p-values, separated by blanks, no header. Or, with
                phenotypes None, a run folder: its p-value file, the
                phenotypes and the lines kolva reads as defdims gives them.
    phenotypes  the p-values a line (1 to 50); None for a run folder.
    chunk       lines a chunk holds at most.
    first_n     True: a line with more values than `phenotypes` is read for
                its first n, as kolva reads it, instead of refused.

    Returns an iterator of Chunk, one for each `chunk` lines up to the end
    of the file (the last holds the rest), every value the one the program
    reads; only one chunk is held at a time. The file is opened here
    (OSError when it cannot be); it is read in C++ without the GIL.

    A line at which the program would stop raises ValueError("FILE:LINE:
    what"), LINE counted from 1, once the chunk of the lines before it has
    been given: a value that is not a number, fewer than `phenotypes`
    values, more (unless first_n), a line longer than 1 MiB, a read failure,
    or (for a run folder) a file shorter than the run's variants.
    """
    _flag("first_n", first_n)
    lines = _whole("chunk", chunk)
    if lines < 1:
        raise ValueError(f"chunk must be 1 or more lines, not {lines}")
    if phenotypes is None:
        setup = read_run_setup(path)
        file, n, most = os.fsencode(setup.pvals_path), setup.phenotypes, setup.variants
    else:
        file, n, most = _path(path), _whole("phenotypes", phenotypes), -1
    reader = _kolva.PvalReader(file, _clamped(n), most, bool(first_n))
    return _chunks(reader, lines)


def read_results(path: _Path, chunk: int = 1 << 20) -> Iterator[ResultChunk]:
    """The records of a result file of kolva (results.txt), in chunks of at
    most `chunk` records, every record checked against the layout kolva
    writes (kolva.formats; a line may end in CR LF or LF).

    Returns an iterator of ResultChunk. The file is opened here (OSError
    when it cannot be); a line that is not a record kolva writes (its
    length, its blank columns, its count, its p field, a count that does
    not go with its length) raises ValueError("FILE:LINE: what: 'line'")
    once the chunk of the records before it has been given.
    """
    records = _whole("chunk", chunk)
    if records < 1:
        raise ValueError(f"chunk must be 1 or more records, not {records}")
    reader = _kolva.RecordReader(_path(path))
    return _results(reader, records)


def default_threads() -> int:
    """The default thread count, by the rule of every kolva program and
    interface: KOLVA_THREADS when it holds a whole number from 1 up, else
    (unset, or 0) the CPUs this process may run on; at most 128. Raises
    ValueError when KOLVA_THREADS holds anything else."""
    return _kolva.default_threads()


def _chunks(reader: _kolva.PvalReader, lines: int) -> Iterator[Chunk]:
    while (got := reader.read(lines)) is not None:
        yield Chunk(*got)


def _results(reader: _kolva.RecordReader, records: int) -> Iterator[ResultChunk]:
    while (got := reader.read(records)) is not None:
        yield ResultChunk(*got)


def _flag(name: str, value: Any) -> None:
    if not isinstance(value, (bool, np.bool_)):
        raise TypeError(f"{name} must be True or False, not {type(value).__name__}")


def _whole(name: str, value: Any, what: str = "a whole number") -> int:
    if not isinstance(value, (bool, np.bool_)):
        try:
            return operator.index(value)
        except TypeError:
            pass
    raise TypeError(f"{name} must be {what}, not {type(value).__name__}")


def _clamped(count: int) -> int:
    """A count for the library's int: one beyond its range is served as the
    nearest it holds (refused by the library where it must be)."""
    return max(-_INT_MAX - 1, min(count, _INT_MAX))


def _threads(threads: Any) -> int:
    """The library's thread count: None is 0, the default; the library
    refuses a negative count."""
    if threads is None:
        return 0
    return _clamped(_whole("threads", threads, "a whole number or None"))


def _path(path: Any) -> bytes:
    """A file name as the library takes it."""
    if not isinstance(path, (str, bytes, os.PathLike)):
        raise TypeError(f"path must be a file name (str or os.PathLike), not "
                        f"{type(path).__name__}")
    return os.fsencode(path)


def _real(dtype: Any, what: str, numbers: str) -> None:
    """TypeError unless dtype holds real numbers (integers or floats, numpy's
    or pandas' own)."""
    if isinstance(dtype, np.dtype):
        ok = dtype.kind in "fiu"
    else:  # a pandas extension type (Int64, Float64, boolean, string, ...)
        types: Any = sys.modules["pandas"].api.types
        ok = (types.is_numeric_dtype(dtype) and not types.is_bool_dtype(dtype)
              and not types.is_complex_dtype(dtype))
    if not ok:
        raise TypeError(f"{what} is {dtype}; {numbers} must be real numbers")


def _array(x: Any, what: str, numbers: str) -> npt.NDArray[Any]:
    """x as a numpy array of real numbers (itself when it is one)."""
    try:
        a = x if isinstance(x, np.ndarray) else np.asarray(x)
    except ValueError:  # rows of different lengths
        raise ValueError(f"{what} is not a table of numbers: its rows differ in length") \
            from None
    _real(a.dtype, what, numbers)
    if isinstance(a, np.ma.MaskedArray):
        a = np.ma.filled(a.astype(np.float64), np.nan)  # type: ignore[no-untyped-call]
    return a


def _pandas_frame(x: Any) -> bool:
    pandas = sys.modules.get("pandas")
    return pandas is not None and isinstance(x, pandas.DataFrame)


def _engine(corr: Any, as_given: bool, names: Optional[List[Any]]) -> _kolva.Engine:
    """The engine of corr, a DataFrame's rows and columns put in the order of
    p's column names when p has them."""
    if _pandas_frame(corr):
        c = _aligned(corr, names)
    else:
        c = _array(corr, "corr", "correlations")
    if c.ndim != 2:
        raise ValueError(f"correlation matrix must be 2-D (n x n), not {c.ndim}-D")
    c = c if c.dtype == np.float64 and _readable(c) else np.ascontiguousarray(c, np.float64)
    return _kolva.Engine(c, bool(as_given))


def _labelled(labels: Sequence[Any], what: str) -> None:
    seen = set()
    for x in labels:
        if x in seen:
            raise ValueError(f"{what}: {x!r} stands twice")
        seen.add(x)


def _aligned(corr: Any, names: Optional[List[Any]]) -> npt.NDArray[Any]:
    """A correlation DataFrame's values, its rows and columns in the order of
    `names` (p's column names; None: as they stand)."""
    rows, cols = list(corr.index), list(corr.columns)
    for k, label in enumerate(cols):
        _real(corr.iloc[:, k].dtype, f"column {label!r} of corr", "correlations")
    values: npt.NDArray[Any] = corr.to_numpy(dtype=np.float64)
    if len(rows) != len(cols):
        return values  # not square: the library says so
    for k, (r, c) in enumerate(zip(rows, cols), 1):
        if r != c:
            raise ValueError(f"corr's rows and columns are labelled differently: row {k} is "
                             f"{r!r}, column {k} is {c!r}")
    _labelled(cols, "corr's labels")
    if names is None:
        return values
    _labelled(names, "p's column names")
    in_p, in_corr = set(names), set(cols)
    only_p = [x for x in names if x not in in_corr]
    only_corr = [x for x in cols if x not in in_p]
    if only_p or only_corr:
        why = ([f"p has {only_p[0]!r}, corr has not"] if only_p else []) \
            + ([f"corr has {only_corr[0]!r}, p has not"] if only_corr else [])
        raise ValueError("p's column names are not corr's labels: " + "; ".join(why))
    at = {x: k for k, x in enumerate(cols)}
    order = [at[x] for x in names]
    aligned: npt.NDArray[Any] = values[np.ix_(order, order)]
    return aligned


def _readable(a: npt.NDArray[Any]) -> bool:
    """True when the engine reads a where it lies: float64 or float32, in the
    machine's byte order, aligned, its strides whole elements."""
    return (a.dtype in _ELEMENTS and a.dtype.isnative and bool(a.flags.aligned)
            and all(s % a.itemsize == 0 for s in a.strides))


def _matrix(p: Any) -> npt.NDArray[Any]:
    """p as a 2-D array the engine reads: p itself where it can."""
    a = _array(p, "p", "p-values")
    if a.ndim != 2:
        raise ValueError(f"p-values must be 2-D (variants x phenotypes), not {a.ndim}-D")
    return a if _readable(a) else np.ascontiguousarray(a, dtype=np.float64)


def _frame_columns(p: Any) -> Optional[Tuple[List[npt.NDArray[Any]], int, List[Any]]]:
    """For a pandas DataFrame, one array per column, each the column's own
    values where the engine can read them, the number of rows and the
    column names; None for anything else. Columns of float64 and float32
    mixed are read as float64."""
    if not _pandas_frame(p):
        return None
    names = list(p.columns)
    columns = [_column(p.iloc[:, c], names[c]) for c in range(p.shape[1])]
    if len({c.dtype for c in columns}) > 1:
        columns = [c.astype(np.float64, copy=False) for c in columns]
    return columns, int(p.shape[0]), names


def _column(s: Any, name: Any) -> npt.NDArray[Any]:
    _real(s.dtype, f"column {name!r} of p", "p-values")
    if isinstance(s.dtype, np.dtype) and s.dtype in _ELEMENTS:
        a: npt.NDArray[Any] = s.to_numpy()
    else:
        a = s.to_numpy(dtype=np.float64, na_value=np.nan)
    return a if _readable(a) else np.ascontiguousarray(a, dtype=np.float64)
