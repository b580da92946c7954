"""The run behind a result file: its control file `defdims`, the phenotype
correlation matrix and the phenotype names (`phenotypes.txt`, written by
kolva-prep; 1 ... n for a run made otherwise)."""
import os
import re
from dataclasses import dataclass
from typing import List, Optional, Tuple

import numpy as np

from .formats import MAX_PHENOTYPES, FormatError

DEFDIMS = "defdims"
NAMES = "phenotypes.txt"
NAME_CHARS = 25  # kolva takes a file name from the first 25 characters of its line
# The layout codes kolva reads as the whole matrix (defdims line 2, its first
# three characters); anything else is the lower triangle.
FULL_CODES = ("ful", "FUL", "Ful")
# A number of the correlation file: kolva's real forms (an exponent letter
# E, D or Q, or a sign alone before the exponent digits) and a repeat count r*.
_NUMBER = re.compile(r"(?:(\d+)\*)?([+-]?(?:\d+\.?\d*|\.\d+))(?:[EeDdQq]?([+-]?\d+))?")
_SEPARATORS = re.compile(r"[ \t,;]+")


class RunMissing(Exception):
    """No run folder where one was looked for."""


@dataclass
class Run:
    folder: str
    phenotypes: int
    variants: int
    pvals: str               # paths, as defdims names them, within the folder
    corr_path: str
    corr: np.ndarray         # the full matrix, as kolva reads it
    names: List[str]
    names_from: Optional[str]  # phenotypes.txt, or None for 1 ... n


def _lines(path: str) -> List[str]:
    with open(path, "rb") as f:
        return f.read().decode("latin-1").replace("\r\n", "\n").replace("\r", "\n").split("\n")


def _counts(path: str, lines: List[str]) -> Tuple[int, int, int]:
    """The two counts of the control file, and the line after them."""
    words: List[str] = []
    at = 0
    while len(words) < 2 and at < len(lines):
        words += [w for w in _SEPARATORS.split(lines[at]) if w][:2 - len(words)]
        at += 1
    if len(words) < 2:
        raise FormatError(path, max(at, 1), "the control file ends before the number of "
                                            "phenotypes and of variants")
    try:
        n, variants = int(words[0]), int(words[1])
    except ValueError:
        raise FormatError(path, at, f"the counts {' '.join(words)!r} are not whole numbers") \
            from None
    if not 1 <= n <= MAX_PHENOTYPES:
        raise FormatError(path, 1, f"{n} phenotypes; a run has 1 to {MAX_PHENOTYPES}")
    return n, variants, at


def _matrix(path: str, n: int, full: bool) -> np.ndarray:
    """The correlation matrix as kolva reads it: numbers separated by blanks,
    commas or line ends, the whole matrix or its lower triangle row by row.
    The file holds exactly the numbers of that layout: more belong to a
    matrix of another order."""
    need = n * n if full else n * (n + 1) // 2
    layout = "whole" if full else "lower triangle"
    values: List[float] = []
    for k, line in enumerate(_lines(path), 1):
        for word in _SEPARATORS.split(line.strip(" \t")):
            if not word:
                continue
            m = _NUMBER.fullmatch(word)
            if not m:
                raise FormatError(path, k, f"{word!r} is not a number")
            if len(values) >= need:
                raise FormatError(path, k, f"more than the {need} numbers of a matrix of "
                                           f"{n} phenotypes ({layout}): the matrix of "
                                           "another run?")
            value = float(m[2] + ("e" + m[3] if m[3] else ""))
            values += [value] * int(m[1] or 1)
    if len(values) < need:
        raise FormatError(path, len(_lines(path)), f"{len(values)} numbers; a matrix of {n} "
                          f"phenotypes ({layout}) has {need}")
    values = values[:need]
    if full:
        return np.array(values).reshape(n, n)
    r = np.zeros((n, n))
    r[np.tril_indices(n)] = values
    return np.where(np.tri(n, dtype=bool), r, r.T)


def _names(path: str, n: int) -> List[str]:
    lines = _lines(path)
    if lines and lines[-1] == "":
        lines.pop()
    for k, name in enumerate(lines[:n], 1):
        if not name.strip():
            raise FormatError(path, k, f"no name for phenotype {k}")
        if name.strip() in [m.strip() for m in lines[:k - 1]]:
            raise FormatError(path, k, f"the name {name.strip()!r} stands twice")
    if len(lines) != n:
        raise FormatError(path, min(len(lines), n) + 1,
                          f"{len(lines)} names, but the run has {n} phenotypes")
    return [name.strip() for name in lines]


def read(folder: str) -> Run:
    path = os.path.join(folder, DEFDIMS)
    if not os.path.isfile(path):
        raise RunMissing(f"{path}: no such file: {folder} is not the run folder of the "
                         "results (--run DIR names it; --no-run reports the results alone)")
    lines = _lines(path)
    n, variants, at = _counts(path, lines)
    if len(lines) < at + 4 or (len(lines) == at + 4 and lines[-1] == ""):
        raise FormatError(path, len(lines), "the control file ends before its five lines")
    full = lines[at][:3] in FULL_CODES
    pvals, corr = (os.path.join(folder, lines[at + k][:NAME_CHARS].rstrip(" ")) for k in (1, 2))
    names_path = os.path.join(folder, NAMES)
    has_names = os.path.exists(names_path)
    names = _names(names_path, n) if has_names else [str(k) for k in range(1, n + 1)]
    return Run(folder, n, variants, pvals, corr, _matrix(corr, n, full), names,
               names_path if has_names else None)
