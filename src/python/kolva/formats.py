"""The layout facts of kolva's files, as the library declares them
(kolva/kolva.h; docs/formats.md): limits, the widths a variant's fields are
kept in, the result record's columns and the chromosome codes. Taken from
the compiled library, never written again here.

    >>> from kolva import formats
    >>> formats.MAX_PHENOTYPES, formats.ID_CHARS, formats.chrom_name(23)
    (50, 33, 'X')
"""
from typing import Tuple, Union

from . import _kolva

__all__ = ["MAX_PHENOTYPES", "MISSING", "MAX_THREADS", "THREADS_ENV", "CHROM_CHARS", "ID_CHARS",
           "ID_CUT_KEEP", "ID_CUT_MARK", "RECORD_LONG", "RECORD_SHORT", "RECORD_CHROM_AT",
           "RECORD_CHROM_WIDTH", "RECORD_ID_AT", "RECORD_COUNT_AT", "RECORD_COUNT_WIDTH",
           "RECORD_P_AT", "RECORD_P_WIDTH", "RECORD_P_DIGITS", "RECORD_UNTESTED_TEXT",
           "RECORD_P", "RECORD_UNTESTED", "RECORD_STARS", "RECORD_NONFINITE", "CHROM_CODES",
           "CHROM_NAMES", "chrom_name", "chrom_code"]

# The most phenotypes of a run; the p-value that stands for "missing" in
# kolva's files (NaN is missing too).
MAX_PHENOTYPES: int = _kolva.MAX_PHENOTYPES
MISSING: float = _kolva.MISSING
# The most threads a call starts, and the environment variable that sets
# the default count.
MAX_THREADS: int = _kolva.MAX_THREADS
THREADS_ENV: str = _kolva.THREADS_ENV

# kolva keeps the first CHROM_CHARS characters of a chromosome field and
# ID_CHARS of a variant id, a longer id cut to its first ID_CUT_KEEP and
# ID_CUT_MARK; both blank-padded.
CHROM_CHARS: int = _kolva.CHROM_CHARS
ID_CHARS: int = _kolva.ID_CHARS
ID_CUT_KEEP: int = _kolva.ID_CUT_KEEP
ID_CUT_MARK: bytes = _kolva.ID_CUT_MARK

# A result record: RECORD_LONG characters with a combined p-value,
# RECORD_SHORT with RECORD_UNTESTED_TEXT (fewer than two present); each
# field starts at its column *_AT (from 0) and is *_WIDTH wide,
# right-aligned after a blank; the p field shows RECORD_P_DIGITS digits.
RECORD_LONG: int = _kolva.RECORD_LONG
RECORD_SHORT: int = _kolva.RECORD_SHORT
RECORD_CHROM_AT: int = _kolva.RECORD_CHROM_AT
RECORD_CHROM_WIDTH: int = _kolva.RECORD_CHROM_WIDTH
RECORD_ID_AT: int = _kolva.RECORD_ID_AT
RECORD_COUNT_AT: int = _kolva.RECORD_COUNT_AT
RECORD_COUNT_WIDTH: int = _kolva.RECORD_COUNT_WIDTH
RECORD_P_AT: int = _kolva.RECORD_P_AT
RECORD_P_WIDTH: int = _kolva.RECORD_P_WIDTH
RECORD_P_DIGITS: int = _kolva.RECORD_P_DIGITS
RECORD_UNTESTED_TEXT: bytes = _kolva.RECORD_UNTESTED_TEXT

# What the p field of a record holds (kolva.read_results' kind): a
# combined p-value; RECORD_UNTESTED_TEXT; asterisks (a value the field
# cannot show); NaN, Infinity or -Infinity.
RECORD_P: int = _kolva.RECORD_P
RECORD_UNTESTED: int = _kolva.RECORD_UNTESTED
RECORD_STARS: int = _kolva.RECORD_STARS
RECORD_NONFINITE: int = _kolva.RECORD_NONFINITE

# Chromosome codes 1 ... CHROM_CODES, in their sort order; 0 is none.
CHROM_CODES: int = _kolva.CHROM_CODES


def chrom_name(code: int) -> str:
    """The name of a chromosome code ("1" ... "22", "X", "Y", "XY", "MT");
    "" for 0 and any other code."""
    return _kolva.chrom_name(code) if 0 <= code <= CHROM_CODES else ""


def chrom_code(field: Union[str, bytes], ssf: bool = False) -> int:
    """The code of a chromosome field as kolva-prep reads it: a leading "chr"
    (any case) dropped; X, Y, XY, MT and M in any case; the numbers 23 ...
    26 for X, Y, XY, MT (with ssf, GWAS-SSF numbering, where 25 is MT); 0
    when it names none of them."""
    if isinstance(field, str):
        field = field.encode("utf-8", "surrogateescape")
    if not isinstance(field, bytes):
        raise TypeError(f"field must be str or bytes, not {type(field).__name__}")
    return _kolva.chrom_code(field, bool(ssf))


# The names of codes 1 ... CHROM_CODES: their order.
CHROM_NAMES: Tuple[str, ...] = tuple(chrom_name(k) for k in range(1, CHROM_CODES + 1))
