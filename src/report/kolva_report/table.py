"""results.tsv.gz: one tab-separated row per record, put together as bytes.

The p column is the record's 15 printed digits; neg_log10_p is computed
from those digits (mantissa and exponent apart), so it is exact also where
the value is below the smallest double. A p of 0 (below the smallest double
when it was computed) gets that of the smallest positive double, 323.306215,
so every tested record has a finite value."""
import gzip
import queue
import threading
from typing import TYPE_CHECKING, Optional, Tuple

import numpy as np
from numpy.lib.stride_tricks import sliding_window_view

from .pvalues import NEG_LOG10_ZERO
from .records import PTEXT, Records

if TYPE_CHECKING:
    from .mapfile import MapChunk

HEADER = b"chrom\tpos\tid\tallele1\tallele2\tn_present\tp\tneg_log10_p\n"
NEG_DECIMALS = 6
MATRIX_WIDTH = 1024  # widest row put together as one padded matrix
_NEG_WIDTH = 6 + NEG_DECIMALS  # a sign, 4 digits, a point and the decimals


def neg_log10(rec: Records) -> np.ndarray:
    """-log10 p of every record from its printed digits, NaN where it has none,
    NEG_LOG10_ZERO where it is 0."""
    t = rec.ptext.astype(np.int64) - 48
    mantissa = t[:, 2:17] @ (10 ** np.arange(14, -1, -1, dtype=np.int64))
    three = rec.plen == PTEXT
    exp = np.where(three, t[:, 19] * 100 + t[:, 20] * 10 + t[:, 21], t[:, 19] * 10 + t[:, 20])
    exp = np.where(rec.ptext[:, 18] == ord("-"), -exp, exp)
    zero = mantissa == 0
    out = -(exp - 15 + np.log10(np.where(mantissa > 0, mantissa, 1).astype(np.float64)))
    out[zero] = NEG_LOG10_ZERO
    out[rec.plen < PTEXT - 1] = np.nan  # NA
    return out


def neg_log10_text(v: np.ndarray) -> Tuple[np.ndarray, np.ndarray]:
    """The values in fixed form with NEG_DECIMALS decimals (`NA` for none),
    0-padded, with their lengths."""
    scale = 10 ** NEG_DECIMALS
    finite = np.isfinite(v)
    r = np.where(finite, np.round(np.abs(np.where(finite, v, 0)) * scale), 0).astype(np.int64)
    whole = _digits(r // scale, 4)
    out = np.zeros((len(v), _NEG_WIDTH), np.uint8)
    out[:, 0] = np.where((v < 0) & (r > 0), ord("-"), 0)
    out[:, 1:5] = whole
    out[:, 5] = ord(".")
    out[:, 6:] = _digits(r % scale + scale, NEG_DECIMALS + 1)[:, 1:]
    out[np.isnan(v)] = np.frombuffer(b"NA".ljust(_NEG_WIDTH, b"\0"), np.uint8)
    out = _left(out)
    return out, (out != 0).sum(1)


def neg_columns(rec: Records) -> Tuple[np.ndarray, np.ndarray]:
    """neg_log10_text of a chunk of records, made once for both tables."""
    if rec.neg is None:
        rec.neg = neg_log10_text(neg_log10(rec))
    return rec.neg


def _left(a: np.ndarray) -> np.ndarray:
    """Each row's non-zero bytes moved to its front, in order."""
    keep = a != 0
    rank = np.cumsum(keep, 1) - 1
    out = np.zeros_like(a)
    rows = np.broadcast_to(np.arange(len(a))[:, None], a.shape)
    out[rows[keep], rank[keep]] = a[keep]
    return out


def _suffix(rec: Records) -> Tuple[np.ndarray, np.ndarray]:
    """A tab, the p column, a tab and neg_log10_p of every record, 0-padded
    after its text, with its length."""
    neg, nlen = neg_columns(rec)
    s = np.zeros((len(rec), PTEXT + 2 + _NEG_WIDTH), np.uint8)
    s[:, 0] = 9
    s[:, 1:PTEXT + 1] = rec.ptext
    s[np.arange(len(rec)), rec.plen + 1] = 9
    cols = np.arange(_NEG_WIDTH)
    rows = np.repeat(np.arange(len(rec)), _NEG_WIDTH)
    s[rows, (rec.plen + 2)[:, None].repeat(_NEG_WIDTH, 1).ravel() + np.tile(cols, len(rec))] = \
        neg.ravel()
    return s, rec.plen + 2 + nlen


def _digits(v: np.ndarray, width: int = 12) -> np.ndarray:
    """Whole numbers >= 0 as right-aligned digits, leading places 0."""
    powers = 10 ** np.arange(width - 1, -1, -1, dtype=np.int64)
    d = (v[:, None] // powers % 10 + 48).astype(np.uint8)
    d[(v[:, None] < powers) & (powers > 1)] = 0
    return d


def rows_from_records(rec: Records, pos: np.ndarray) -> bytes:
    """Rows without a map: the record's chromosome and id, its number within
    the chromosome as position, no alleles."""
    tab = np.full((len(rec), 1), 9, np.uint8)
    s, _ = _suffix(rec)
    row = np.concatenate([rec.chrom, tab, _digits(pos), tab, rec.ident, tab, tab, tab,
                          _digits(rec.n.astype(np.int64), 3), s,
                          np.full((len(rec), 1), 10, np.uint8)], axis=1)
    row[row == 32] = 0  # Kolva's fields hold no blanks but their padding
    return row[row != 0].tobytes()


def padded(a: np.ndarray, start: np.ndarray, length: np.ndarray) -> np.ndarray:
    """The fields a[start:start + length] as (L, widest) bytes, 0 after each."""
    width = max(int(length.max(initial=0)), 1)
    out = sliding_window_view(np.concatenate((a, np.zeros(width + 1, np.uint8))), width)[start]
    return np.where(np.arange(width) < length[:, None], out, np.uint8(0))


def rows_from_map(m: "MapChunk", rec: Records) -> bytes:
    """Rows with a map: each map line, a tab and the p column before its
    line feed. Lines up to MATRIX_WIDTH wide are put together as one 0-padded
    matrix whose zeros are then dropped (the text holds no 0 byte); wider
    ones by index arithmetic."""
    s, slen = _suffix(rec)
    length = m.ends - m.starts
    if int(length.max(initial=0)) <= MATRIX_WIDTH:
        mat = np.concatenate((padded(m.a, m.starts, length), s,
                              np.full((len(rec), 1), 10, np.uint8)), axis=1)
        return mat[mat != 0].tobytes()
    inside = np.arange(s.shape[1]) < slen[:, None]
    at = np.repeat(m.ends, slen) + np.arange(int(slen.sum()))  # where s goes
    out = np.empty(len(m.a) + len(at), np.uint8)
    from_map = np.ones(len(out), bool)
    from_map[at] = False
    out[from_map] = m.a
    out[at] = s[inside]
    return out.tobytes()


class GzWriter:
    """A gzip file written by a thread of its own (zlib works without the
    interpreter lock, so compression overlaps the reading). Level 1: on these
    tables 4 % larger than level 3 for half its processor time (two tables
    are compressed beside the reading, on two cores)."""

    def __init__(self, path: str, header: bytes = HEADER, level: int = 1) -> None:
        self.raw = open(path, "wb")
        self.gz = gzip.GzipFile(filename="", fileobj=self.raw, mode="wb",
                                compresslevel=level, mtime=0)
        self.q: queue.Queue = queue.Queue(maxsize=4)
        self.error: Optional[OSError] = None
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()
        self.write(header)

    def _run(self) -> None:
        while (data := self.q.get()) is not None:
            if self.error is None:
                try:
                    self.gz.write(data)
                except OSError as e:
                    self.error = OSError(e.errno, e.strerror, self.raw.name)

    def write(self, data: bytes) -> None:
        if self.error:
            raise self.error
        self.q.put(data)

    def close(self) -> None:
        self.q.put(None)
        self.thread.join()
        try:
            if self.error:
                raise self.error
            self.gz.close()
        finally:
            self.raw.close()
