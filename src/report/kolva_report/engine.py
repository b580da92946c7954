"""Every use of the engine, through its Python module `kolva`: the combined
p-value of the null draws, the carrying traits of a lead (the attaining j
and the engine's p-value order), the effective number of tests of the whole
matrix, and the p-value file read line by line as kolva reads it.

Nothing here computes any of it: the report asks the engine. The module
loads on first use; without it, the run analysis stops with a message that
names --no-run.
"""
from dataclasses import dataclass
from types import ModuleType
from typing import Any, Iterator, Optional

import numpy as np

from .formats import CHROM_WIDTH, ID_WIDTH

_module: Optional[ModuleType] = None


class EngineMissing(Exception):
    """The engine's Python module cannot be loaded."""


class MatrixRefused(Exception):
    """The engine refuses the correlation matrix (its message says why)."""


def _kolva() -> ModuleType:
    global _module
    if _module is None:
        try:
            import kolva
        except ImportError as e:
            raise EngineMissing(
                f"the engine's Python module `kolva` cannot be loaded ({e}); it is built with "
                "kolva (src/python/). Without it, --no-run reports the result file alone") from e
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
        return getattr(_kolva(), name)(*args, **kwargs)
    except ValueError as e:
        if "matrix" in str(e):
            raise MatrixRefused(str(e)) from e
        raise


def combine(p: np.ndarray, corr: np.ndarray, threads: Optional[int] = None) -> np.ndarray:
    """The combined p-value of every row of p (NaN marks a missing value)."""
    return np.asarray(_call("combine", p, corr, threads=threads), np.float64)


def combine_details(p: np.ndarray, corr: np.ndarray) -> Combined:
    """The combined p-value with the attaining j and the engine's order."""
    d: Any = _call("combine", p, corr, details=True)
    return Combined(np.asarray(d.p, np.float64), np.asarray(d.j, np.int64),
                    np.asarray(d.order, np.int64))


def effective_tests(corr: np.ndarray) -> float:
    """M of the whole converted matrix, phenotypes in column order."""
    return float(_call("effective_tests", corr))


@dataclass
class PvalChunk:
    first: int         # 0-based line number of the chunk's first line
    chrom: np.ndarray  # (L, CHROM_WIDTH) bytes as kolva keeps them, blank-padded
    ident: np.ndarray  # (L, ID_WIDTH) bytes as kolva keeps them, blank-padded
    p: np.ndarray      # (L, n) float64, NaN where missing

    def __len__(self) -> int:
        return len(self.p)


def _bytes(a: np.ndarray, width: int) -> np.ndarray:
    """Fixed-width byte strings as a (L, width) array, NUL padding made blank."""
    out = np.ascontiguousarray(np.asarray(a, f"S{width}")).view(np.uint8).reshape(-1, width)
    return np.where(out == 0, np.uint8(32), out)


def read_pvals(path: str, phenotypes: int, chunk: int = 1 << 18) -> Iterator[PvalChunk]:
    """The p-value file, chunk by chunk, each line read exactly as kolva reads
    it. A line kolva would stop at raises ValueError("FILE:LINE: what")."""
    for c in _kolva().read_pvals(path, phenotypes, chunk=chunk):
        yield PvalChunk(int(c.first), _bytes(c.chrom, CHROM_WIDTH), _bytes(c.id, ID_WIDTH),
                        np.asarray(c.p, np.float64))


def default_threads() -> int:
    return int(_kolva().default_threads())
