"""Chromosome names: small integer codes, plot order and labels. The names
kolva knows and their order are the library's (kolva.formats)."""
from typing import Dict, List, Tuple

import numpy as np

from . import engine

_F = engine.module().formats


def label(name: str) -> str:
    """The name drawn under the Manhattan plot: a chromosome kolva knows by
    its name (without `chr`, M as MT, 23 as X), another without `chr`."""
    code = _F.chrom_code(name)
    if code:
        return str(_F.chrom_name(code))
    return name[3:] if name[:3].lower() == "chr" and len(name) > 3 else name


def order_key(name: str) -> Tuple[int, str]:
    """1 ... 22, X, Y, XY, MT, then other numbers, then other names."""
    code = _F.chrom_code(name)
    if code:
        return (code, "")
    s = label(name)
    return (100, s.zfill(12)) if s.isdigit() else (1000, s)


class ChromTable:
    """Gives each chromosome name a code, in order of first appearance."""

    def __init__(self) -> None:
        self.names: List[str] = []
        self._code: Dict[str, int] = {}

    def codes(self, text: np.ndarray) -> np.ndarray:
        """Codes of the rows of a 2-D byte array of names (blank- or 0-padded)."""
        if len(text) == 0:
            return np.zeros(0, np.int32)
        text = np.ascontiguousarray(text)
        if text.shape[1] <= 8:  # names of up to 8 bytes: sorted as integers
            text = np.pad(text, ((0, 0), (0, 8 - text.shape[1])))
            keys, inverse = np.unique(text.view(np.uint64).ravel(), return_inverse=True)
            names = [k.tobytes() for k in keys]
        else:
            keys, inverse = np.unique(text.view(f"S{text.shape[1]}").ravel(), return_inverse=True)
            names = list(keys)
        lut = np.array([self._get(k.rstrip(b"\0").decode("utf-8", "replace").strip())
                        for k in names], np.int32)
        return lut[inverse]

    def _get(self, name: str) -> int:
        if name not in self._code:
            self._code[name] = len(self.names)
            self.names.append(name)
        return self._code[name]

    def plot_order(self) -> List[int]:
        """The codes in plot order."""
        return sorted(range(len(self.names)), key=lambda c: order_key(self.names[c]))


class WithinChrom:
    """Numbers records 1, 2, ... within each chromosome, across chunks."""

    def __init__(self) -> None:
        self.seen = np.zeros(0, np.int64)

    def number(self, codes: np.ndarray) -> np.ndarray:
        if len(codes) == 0:
            return np.zeros(0, np.int64)
        size = max(len(self.seen), int(codes.max()) + 1)
        self.seen = np.concatenate((self.seen, np.zeros(size - len(self.seen), np.int64)))
        order = np.argsort(codes, kind="stable")
        sorted_codes = codes[order]
        group_start = np.searchsorted(sorted_codes, sorted_codes)
        pos = np.empty(len(codes), np.int64)
        pos[order] = np.arange(len(codes)) - group_start + 1 + self.seen[sorted_codes]
        self.seen += np.bincount(codes, minlength=size)
        return pos
