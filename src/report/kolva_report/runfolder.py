"""The run behind a result file: its control file `defdims`, the phenotype
correlation matrix and the phenotype names (`phenotypes.txt`, written by
kolva-prep; 1 ... n for a run made otherwise), read by the engine's module
as kolva reads them (kolva.read_run_setup)."""
import os
from dataclasses import dataclass
from typing import List, Optional

import numpy as np

from . import engine
from .formats import FormatError

DEFDIMS = "defdims"


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


def read(folder: str) -> Run:
    path = os.path.join(folder, DEFDIMS)
    if not os.path.isfile(path):
        raise RunMissing(f"{path}: no such file: {folder} is not the run folder of the "
                         "results (--run DIR names it; --no-run reports the results alone)")
    try:
        s = engine.module().read_run_setup(folder)
    except ValueError as e:  # where kolva stops: the engine's FILE:LINE: what
        raise FormatError.of(str(e), path, 1) from e
    if s.phenotypes == 0:
        raise FormatError(s.defdims_path, 1, "the run has no phenotypes: there is nothing of "
                                             "it to report (--no-run reports the results alone)")
    if s.corr_beyond_line:
        need = s.phenotypes ** 2 if s.full_layout else s.phenotypes * (s.phenotypes + 1) // 2
        layout = "the whole matrix" if s.full_layout else "the lower triangle"
        raise FormatError(s.corr_path, s.corr_beyond_line,
                          f"values beyond the {need} of {layout} of {s.phenotypes} phenotypes: "
                          f"kolva reads the first {need} and ignores the rest, but kolva-report "
                          "refuses such a file, as it is most likely the correlation matrix of "
                          "a run with more phenotypes")
    return Run(folder, s.phenotypes, s.variants, s.pvals_path, s.corr_path, s.corr,
               list(s.names), s.names_path)
