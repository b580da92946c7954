"""Kolva result records, read a chunk at a time by the engine's module
(kolva.read_results), which checks every record against the layout kolva
writes (docs/formats.md).

A record is one line: a blank, the chromosome field (5 columns, its first
4 characters after one blank), a blank, the id (33), a blank, the count of
present p-values (3, right-aligned), a blank and the combined p-value: 20
columns in exponent form (`.728815521369720E+00`, `.183482830401044-100`)
in the long record (65 characters), or `-9.00` in the short one (50) for
fewer than two present p-values. A value that does not fit (a negative
one) is 20 asterisks; a value that is not a number shows as `NaN`,
`Infinity` or `-Infinity`, right-aligned. Lines end with CR LF (a plain LF
is accepted too).
"""
from dataclasses import dataclass
from typing import Any, Iterator, Optional, Tuple

import numpy as np

from . import engine
from .formats import FormatError

__all__ = ["FormatError", "Records", "read"]

_kolva = engine.module()
_F = _kolva.formats

CHUNK = 1 << 18  # records a chunk holds at most

# What a record's p field holds, as the report counts it: the engine's
# kinds, and a number above 1 apart.
NUMBER, UNTESTED, STARS, NONFINITE, ABOVE_ONE = range(5)
_KIND = np.zeros(256, np.uint8)  # the engine's kind (int8, as uint8) -> the report's
_KIND[[_F.RECORD_P, _F.RECORD_UNTESTED, _F.RECORD_STARS, _F.RECORD_NONFINITE]] = \
    NUMBER, UNTESTED, STARS, NONFINITE

# Width of a p-value as written to the table: `0` + the p field (`.` and
# the digits, then the exponent) with an `E` put before a three-digit
# exponent: `0.` + 15 digits + `E-100`.
PTEXT = _F.RECORD_P_WIDTH + 2
_DIGITS_END = 1 + _F.RECORD_P_DIGITS  # the field's point and digits: its exponent after


@dataclass
class Records:
    first: int            # 0-based number of the chunk's first record
    n: np.ndarray         # present p-values (int16)
    kind: np.ndarray      # NUMBER ... ABOVE_ONE (uint8)
    p: np.ndarray         # the value, NaN where the field holds none
    ptext: np.ndarray     # (L, PTEXT) bytes of the table's p column, 0-padded
    plen: np.ndarray      # its length
    chrom: np.ndarray     # (L, 4) bytes of the chromosome field
    ident: np.ndarray     # (L, 33) bytes of the id field
    neg: Optional[Tuple[np.ndarray, np.ndarray]] = None  # table.neg_columns, once made

    def __len__(self) -> int:
        return len(self.n)


def read(path: str, chunk: int = CHUNK) -> Iterator[Records]:
    """Yields the records of a result file, a chunk at a time. A line that
    is not a record kolva writes raises FormatError (`FILE:LINE: why:
    'the line'`) once the records before it are given."""
    try:
        for c in _kolva.read_results(path, chunk):
            yield _records(c)
    except ValueError as e:
        raise FormatError.of(str(e), path, 1) from e


def _records(c: Any) -> Records:
    kind = _KIND[np.asarray(c.kind).view(np.uint8)]
    number = kind == NUMBER
    p = np.where(number, c.p, np.nan)
    kind[number & (p > 1)] = ABOVE_ONE

    # The table's p column: `0` + the field, with an `E` before a
    # three-digit exponent, which every reader of numbers understands.
    f = engine.as_bytes(c.ptext)
    exp3 = number & (f[:, _DIGITS_END] != ord("E"))
    t = np.zeros((len(f), PTEXT), np.uint8)
    t[:, 0] = ord("0")
    t[:, 1:PTEXT - 1] = f
    t[exp3, _DIGITS_END + 1] = ord("E")
    t[exp3, _DIGITS_END + 2:] = f[exp3, _DIGITS_END:]
    t[~number] = 0
    t[~number, :2] = np.frombuffer(b"NA", np.uint8)
    plen = np.where(number, np.where(exp3, PTEXT, PTEXT - 1), 2)
    return Records(int(c.first), np.asarray(c.n_present, np.int16), kind, p, t, plen,
                   engine.as_bytes(c.chrom), engine.as_bytes(c.id))
