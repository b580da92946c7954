"""The variant map `kolva-prep` writes beside a run: `variants.tsv.gz`.

A header line, then per result record one tab-separated line: chrom, pos,
id, allele1, allele2, number of phenotypes present. Each line is checked
against its record (chromosome and id as Kolva cuts them, the count), so a
map of another run or of another length stops the report.
"""
import gzip
import zlib
from typing import Tuple

import numpy as np
from numpy.lib.stride_tricks import sliding_window_view

from . import engine
from .formats import FormatError, where
from .records import Records

# How kolva keeps a chromosome field and an id (the library's layout).
_F = engine.module().formats

FIELDS = 6
# A variant as the tables show it: chrom, pos, id, allele1, allele2.
Row = Tuple[str, int, str, str, str]
_READ = 1 << 20


def _windows(a: np.ndarray, width: int) -> np.ndarray:
    """Every run of `width` bytes of a (zeros past its end), without a copy."""
    return sliding_window_view(np.concatenate((a, np.zeros(width, np.uint8))), width)


def _text(a: np.ndarray, begin: np.ndarray, end: np.ndarray, width: int,
          fill: int = 32) -> np.ndarray:
    """The fields [begin, end) of a, left-aligned in `width` columns and cut."""
    out = _windows(a, width)[begin]
    out[np.arange(width) >= (end - begin)[:, None]] = fill
    return out


def _number(a: np.ndarray, begin: np.ndarray,
            end: np.ndarray) -> Tuple[np.ndarray, np.ndarray]:
    """Unsigned whole numbers in the fields [begin, end); ok marks the good ones."""
    w = end - begin
    ok = (w >= 1) & (w <= 18)
    width = int(min(w.max(initial=1), 18))
    cols = np.arange(width)
    front = np.concatenate((np.zeros(width, np.uint8), a))  # the run before end
    d = sliding_window_view(front, width)[end].astype(np.int64) - 48
    d[cols < (width - w)[:, None]] = 0  # before the field
    ok &= ((d >= 0) & (d <= 9)).all(1)
    return d @ (10 ** (width - 1 - cols)), ok


class MapChunk:
    """Map lines for a chunk of records."""

    def __init__(self, buf: bytes) -> None:
        self.a = np.frombuffer(buf, np.uint8)
        self.ends = np.flatnonzero(self.a == 10)
        self.starts: np.ndarray = np.concatenate((np.zeros(1, np.int64), self.ends[:-1] + 1))
        # Set by MapReader.next: positions, tab places (L, 5), chromosome bytes.
        self.pos = self.tabs = self.chrom = np.zeros(0, np.int64)

    def __len__(self) -> int:
        return len(self.ends)

    def row(self, i: int) -> Row:
        """(chrom, pos, id, allele1, allele2) of line i."""
        chrom, pos, ident, a1, a2 = bytes(self.a[self.starts[i]:self.ends[i]]).decode(
            "utf-8", "replace").split("\t")[:5]
        return chrom, int(pos), ident, a1, a2


class MapReader:
    def __init__(self, path: str) -> None:
        self.path = path
        raw = open(path, "rb")
        self._raw = raw
        try:
            gz = raw.read(2) == b"\x1f\x8b"
            raw.seek(0)
            self.f = gzip.GzipFile(fileobj=raw) if gz else raw
            self.buf = b""
            self.lines = 0  # lines given out so far, the header included
            header, got = self._take(1)
            if not got:
                raise FormatError(path, 1, "empty file; a variant map starts with a header line")
            if header.count(b"\t") != FIELDS - 1:
                raise FormatError(path, 1, "the header does not have 6 tab-separated fields "
                                           "(chrom, pos, id, allele1, allele2, n_present)")
        except BaseException:
            raw.close()  # a refused map leaves no file open
            raise

    def close(self) -> None:
        self.f.close()
        self._raw.close()

    def _take(self, k: int) -> Tuple[bytes, int]:
        """The next k lines (fewer at the end of the file), and their number."""
        parts, have = [], 0
        try:
            while have < k:
                if not self.buf:
                    self.buf = self.f.read(_READ)
                    if not self.buf:
                        break
                c = self.buf.count(b"\n")
                if have + c >= k:
                    nl = np.flatnonzero(np.frombuffer(self.buf, np.uint8) == 10)[k - have - 1]
                    parts.append(self.buf[:nl + 1])
                    self.buf = self.buf[nl + 1:]
                    have = k
                else:
                    parts.append(self.buf)
                    have += c
                    self.buf = b""
        except (OSError, EOFError, zlib.error) as e:  # a damaged or cut gzip stream
            raise FormatError(self.path, self.lines + have + 1,
                              f"cannot be read from this line on: {e}") from e
        out = b"".join(parts)
        if have < k and out and not out.endswith(b"\n"):
            out += b"\n"
            have += 1
        self.lines += have
        return out, have

    def next(self, rec: Records, results_path: str) -> MapChunk:
        """The map lines of a chunk of records, checked against them."""
        first_line = self.lines + 1
        buf, got = self._take(len(rec))
        if got < len(rec):
            raise FormatError(self.path, self.lines + 1,
                              f"the map ends after {self.lines - 1} variants, but "
                              f"{results_path} goes on "
                              f"({where(results_path, rec.first + got + 1)})")
        m = MapChunk(buf)
        a, starts, ends = m.a, m.starts, m.ends
        tabs = np.flatnonzero(a == 9)
        t = tabs[:len(m) * (FIELDS - 1)].reshape(-1, FIELDS - 1)
        if len(tabs) != t.size or (t[:, 0] < starts).any() or (t[:, -1] > ends).any():
            ntabs = np.bincount(np.searchsorted(ends, tabs), minlength=len(m))
            i = int(np.argmax(ntabs != FIELDS - 1))
            raise FormatError(self.path, first_line + i,
                              f"{ntabs[i] + 1} tab-separated fields, not 6")
        m.pos, pos_ok = _number(a, t[:, 0] + 1, t[:, 1])
        n, n_ok = _number(a, t[:, 4] + 1, ends)
        # The id as Kolva keeps it: cut to its first ID_CUT_KEEP and the
        # mark when longer than ID_CHARS.
        ident = _text(a, t[:, 1] + 1, t[:, 2], _F.ID_CHARS)
        ident[t[:, 2] - t[:, 1] - 1 > _F.ID_CHARS, _F.ID_CUT_KEEP:] = \
            np.frombuffer(_F.ID_CUT_MARK, np.uint8)
        checks = [
            (pos_ok, "the position is not a whole number"),
            (n_ok, "the number of phenotypes present is not a whole number"),
            ((_text(a, starts, t[:, 0], _F.CHROM_CHARS) == rec.chrom).all(1),
             "the chromosome is not that of the result record"),
            ((ident == rec.ident).all(1), "the id is not that of the result record"),
            (n == rec.n, "the number of phenotypes present is not that of the result record"),
        ]
        good = np.logical_and.reduce([ok for ok, _ in checks])
        if not good.all():
            i = int(np.argmin(good))
            why = next(msg for ok, msg in checks if not ok[i])
            rec_text = (rec.chrom[i].tobytes() + b" " + rec.ident[i].tobytes()).decode(
                "utf-8", "replace")
            line = bytes(a[starts[i]:ends[i]]).decode("utf-8", "replace")
            raise FormatError(self.path, first_line + i,
                              f"{why} ({where(results_path, rec.first + i + 1)}: "
                              f"{' '.join(rec_text.split())}): {line[:80]!r}")
        m.tabs = t
        width = int((t[:, 0] - starts).max(initial=1))
        m.chrom = _text(a, starts, t[:, 0], width, fill=0)
        return m

    def finish(self, records: int, results_path: str) -> None:
        """Stops when the map has lines beyond the last record."""
        _, extra = self._take(1)
        if extra:
            raise FormatError(self.path, self.lines,
                              f"the map has more variants than the {records} records "
                              f"of {results_path}")
