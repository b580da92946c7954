"""Kolva result records, read a chunk of whole lines at a time with numpy.

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
from typing import BinaryIO, Iterator, Optional, Tuple

import numpy as np
from numpy.lib.stride_tricks import sliding_window_view

from .formats import (CHROM_FIELD, COUNT_FIELD, ID_FIELD, LONG, P_FIELD, P_WIDTH, SHORT,
                      UNTESTED_FIELD, FormatError)

__all__ = ["FormatError", "Records", "read", "parse", "LONG", "SHORT"]

CHUNK_BYTES = 8 << 20

# What a record's p field holds.
NUMBER, UNTESTED, STARS, NONFINITE, ABOVE_ONE, BAD = range(6)

# Width of a p-value as written to the table: `0.` + 15 digits + `E-100`.
PTEXT = 22

# Byte classes: a record is checked column by column against the classes
# its form allows.
BLANK, DIGIT, POINT, E, SIGN, OTHER = (1 << k for k in range(6))
ANY = 63
_CLASS = np.full(256, OTHER, np.uint8)
_CLASS[32], _CLASS[48:58], _CLASS[46], _CLASS[69] = BLANK, DIGIT, POINT, E
_CLASS[[43, 45]] = SIGN
# Columns 41-45 of every record: a blank, the count and a blank (columns 1,
# 2 and 7 are blanks too; the chromosome and the id may hold anything).
_HEAD = np.array([BLANK] + [BLANK | DIGIT] * 3 + [BLANK], np.uint8)
_MANTISSA = np.array([POINT] + [DIGIT] * 15, np.uint8)
_EXPONENT2 = np.array([E, SIGN, DIGIT, DIGIT], np.uint8)
_EXPONENT3 = np.array([SIGN, DIGIT, DIGIT, DIGIT], np.uint8)
_WORDS = np.array([np.frombuffer(w.rjust(P_WIDTH).encode(), np.uint8)
                   for w in ("NaN", "Infinity", "-Infinity", "*" * P_WIDTH)])


def _matches(cls: np.ndarray, template: np.ndarray) -> np.ndarray:
    return (cls & template).all(1)


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


def read(f: BinaryIO, path: str) -> Iterator[Records]:
    """Yields the records of an open binary file, a chunk at a time."""
    carry, first = b"", 0
    while True:
        data = f.read(CHUNK_BYTES)
        if not data:
            break
        data = carry + data
        cut = data.rfind(b"\n") + 1
        carry = data[cut:]
        if cut:
            chunk = parse(data[:cut], first, path)
            first += len(chunk)
            yield chunk
    if carry:  # a last line without its line end
        yield parse(carry + b"\n", first, path)


def parse(buf: bytes, first: int, path: str) -> Records:
    """Parses whole lines (each ending in LF); `first` numbers the first one."""
    a = np.frombuffer(buf, np.uint8)
    ends = np.flatnonzero(a == 10)
    starts = np.concatenate((np.zeros(1, np.int64), ends[:-1] + 1))
    length = ends - starts - (a[ends - 1] == 13)
    padded = np.concatenate((a, np.zeros(LONG, np.uint8)))
    rec = sliding_window_view(padded, LONG)[starts]
    cls = _CLASS[rec[:, COUNT_FIELD[0] - 1:]]  # classes of columns 41-65

    long_ = length == LONG
    sized = long_ | (length == SHORT)
    head = _matches(cls[:, :5], _HEAD) & (rec[:, [0, 1, 6]] == 32).all(1)
    cd = cls[:, 1:4] == DIGIT  # the count: digits right-aligned
    count_ok = cd[:, 2] & (cd[:, :2] <= cd[:, 1:]).all(1)
    digits = rec[:, COUNT_FIELD[0]:COUNT_FIELD[1]].astype(np.int16) - 48
    n = (digits * cd) @ np.array([100, 10, 1], np.int16)

    f = rec[:, P_FIELD[0]:P_FIELD[1]]
    mantissa = long_ & _matches(cls[:, 5:21], _MANTISSA)
    exp2 = mantissa & _matches(cls[:, 21:25], _EXPONENT2)
    exp3 = mantissa & _matches(cls[:, 21:25], _EXPONENT3)
    number = exp2 | exp3
    kind = np.where(number, NUMBER, BAD).astype(np.uint8)
    untested = np.frombuffer(UNTESTED_FIELD, np.uint8)
    short = ~long_ & (rec[:, P_FIELD[0]:SHORT] == untested).all(1)
    kind[short] = UNTESTED
    rest = np.flatnonzero(long_ & ~number)  # the rare forms
    for k, word in zip((NONFINITE, NONFINITE, NONFINITE, STARS), _WORDS):
        kind[rest[(f[rest] == word).all(1)]] = k
    fits = np.where(long_, n >= 2, n <= 1)

    checks = [
        (sized, lambda i: f"a record of {length[i]} characters; result records have {LONG}, "
                          f"or {SHORT} when the p-value is -9.00"),
        (head, lambda i: "not a result record: columns 1, 2, 7, 41 and 45 must be blank, "
                         "columns 42-44 the count of present p-values"),
        (count_ok, lambda i: "the count of present p-values (columns 42-44) is not a number"),
        (kind != BAD, lambda i: "the p-value (columns 46-65) is not in a form Kolva writes"),
        (fits, lambda i: f"{n[i]} present p-values do not go with a record of {length[i]} "
                         "characters"),
    ]
    good = np.logical_and.reduce([ok for ok, _ in checks])
    if not good.all():
        i = int(np.argmin(good))
        text = bytes(a[starts[i]:ends[i]]).decode("latin-1").rstrip("\r")
        why = next(msg for ok, msg in checks if not ok[i])(i)
        raise FormatError(path, first + i + 1, f"{why}: {text[:70]!r}")

    # The table's p column: `0` + the field, with an `E` before a
    # three-digit exponent, which every reader of numbers understands.
    t = np.zeros((len(rec), PTEXT), np.uint8)
    t[:, 0] = 48
    t[:, 1:17] = f[:, :16]
    t[:, 17:21] = f[:, 16:20]
    t[exp3, 17] = 69
    t[exp3, 18:22] = f[exp3, 16:20]
    t[~number] = 0
    t[~number, :2] = np.frombuffer(b"NA", np.uint8)
    plen = np.where(number, np.where(exp3, 22, 21), 2)

    p = np.full(len(rec), np.nan)
    p[number] = np.ascontiguousarray(t[number]).view(f"S{PTEXT}").ravel().astype(np.float64)
    kind[number & (p > 1)] = ABOVE_ONE
    return Records(first, n, kind, p, t, plen, rec[:, CHROM_FIELD[0]:CHROM_FIELD[1]],
                   rec[:, ID_FIELD[0]:ID_FIELD[1]])
