"""Every use of the engine, through its Python module `kolva`: the combined
p-value of the null draws, the carrying traits of a lead (the attaining j
and the engine's p-value order), the effective number of tests of the whole
matrix, and the p-value file read line by line as kolva reads it. The
module also reads the result file and the run folder (records.py,
runfolder.py) and gives the layouts of kolva's files (module().formats).

Nothing here computes any of it: the report asks the engine. The module
loads on first use; without it, the report stops with a message that says
where it comes from.
"""
from dataclasses import dataclass
from types import ModuleType
from typing import Any, Iterator, Optional

import numpy as np

_module: Optional[ModuleType] = None


class EngineMissing(Exception):
    """The engine's Python module cannot be loaded."""


class MatrixRefused(Exception):
    """The engine refuses the correlation matrix (its message says why)."""


def module() -> ModuleType:
    """The engine's module `kolva`, loaded on first use."""
    global _module
    if _module is None:
        try:
            import kolva
        except ImportError as e:
            raise EngineMissing(
                f"the engine's Python module `kolva` cannot be loaded ({e}); it is built with "
                "kolva (src/python/), and kolva-report reads every file of kolva through it") \
                from e
        _module = kolva
    return _module


@dataclass
class Combined:
    """The engine's evaluation of a set of variants (rows)."""
    p: np.ndarray      # combined p, NaN where fewer than two are present
    j: np.ndarray      # the attaining block (smallest j on ties), 0 where none
    order: np.ndarray  # (rows, n): the phenotype columns in the engine's p-value order


def _call(name: str, *args: Any, **kwargs: Any) -> Any:
    """A call of the module; a matrix it refuses raises MatrixRefused."""
    try:
        return getattr(module(), name)(*args, **kwargs)
    except ValueError as e:
        if "matrix" in str(e):
            raise MatrixRefused(str(e)) from e
        raise


def combine(p: np.ndarray, corr: np.ndarray, threads: Optional[int] = None) -> np.ndarray:
    """The combined p-value of every row of p (NaN marks a missing value)."""
    return np.asarray(_call("combine", p, corr, threads=threads), np.float64)


def combine_details(p: np.ndarray, corr: np.ndarray) -> Combined:
    """The combined p-value with the attaining j and the engine's order, of
    rows of the run's p-value file: the values used as kolva used them
    (as_given), so that its records are made again."""
    d: Any = _call("combine", p, corr, details=True, as_given=True)
    return Combined(np.asarray(d.p, np.float64), np.asarray(d.j, np.int64),
                    np.asarray(d.order, np.int64))


def effective_tests(corr: np.ndarray) -> float:
    """M of the whole converted matrix, phenotypes in column order."""
    return float(_call("effective_tests", corr))


@dataclass
class PvalChunk:
    first: int         # 0-based line number of the chunk's first line
    chrom: np.ndarray  # (L, formats.CHROM_CHARS) bytes as kolva keeps them, blank-padded
    ident: np.ndarray  # (L, formats.ID_CHARS) bytes as kolva keeps them, blank-padded
    p: np.ndarray      # (L, n) float64, NaN where missing

    def __len__(self) -> int:
        return len(self.p)


def as_bytes(a: np.ndarray) -> np.ndarray:
    """Fixed-width byte strings (numpy S<width>) as a (L, width) uint8 array."""
    width = a.dtype.itemsize
    return np.ascontiguousarray(a).view(np.uint8).reshape(-1, width)


def read_pvals(folder: str, chunk: int = 1 << 18) -> Iterator[PvalChunk]:
    """The run's p-value file, chunk by chunk, each line read exactly as kolva
    reads it, as many lines as defdims gives. A line kolva would stop at, and
    a file shorter than the run, raise ValueError("FILE:LINE: what"), the
    library's message. So does a line of more values than the run's
    phenotypes, which kolva reads for its first n: the report refuses it
    (and says why), as it refuses a correlation file with values beyond its
    layout."""
    try:
        for c in module().read_pvals(folder, chunk=chunk):
            yield PvalChunk(int(c.first), as_bytes(c.chrom), as_bytes(c.id),
                            np.asarray(c.p, np.float64))
    except ValueError as e:
        said = str(e)
        if "holds more than" in said:  # the library's refusal of a longer line
            place, _, what = said.partition(": the line holds more than ")
            n = what.split(" ", 1)[0]
            raise ValueError(f"{place}: the line holds more than {n} p-values: kolva reads the "
                             f"first {n} and ignores the rest, but kolva-report refuses such a "
                             "file, as it is most likely the p-value file of a run with more "
                             "phenotypes") from e
        raise


def default_threads() -> int:
    return int(module().default_threads())
