# The compiled part of kolva (src/python/module.cpp); the package's
# functions bring every argument into these forms.
from typing import Any, Dict, List, Optional, Tuple, Union

import numpy as np
import numpy.typing as npt

_Results = Union[npt.NDArray[np.float64], Tuple[npt.NDArray[np.float64], npt.NDArray[np.int32],
                                               npt.NDArray[np.int32], npt.NDArray[np.float64],
                                               npt.NDArray[np.float64], npt.NDArray[np.int8]]]
_Bytes = npt.NDArray[np.bytes_]


class Engine:
    def __init__(self, corr: npt.NDArray[np.float64], as_given: bool) -> None: ...
    @property
    def phenotypes(self) -> int: ...
    def effective_tests(self) -> float: ...
    def combine_strided(self, p: npt.NDArray[Any], threads: int, details: bool,
                        as_given: bool) -> _Results: ...
    def combine_columns(self, columns: List[npt.NDArray[Any]], rows: int, threads: int,
                        details: bool, as_given: bool) -> _Results: ...


class PvalReader:
    def __init__(self, path: bytes, phenotypes: int, max_lines: int, first_n: bool) -> None: ...
    def read(self, lines: int) -> Optional[Tuple[int, _Bytes, _Bytes,
                                                 npt.NDArray[np.float64]]]: ...
    def read_all(self, expected: int) -> Tuple[_Bytes, _Bytes, npt.NDArray[np.float64]]: ...


class RecordReader:
    def __init__(self, path: bytes) -> None: ...
    def read(self, records: int) -> Optional[Tuple[int, _Bytes, _Bytes, npt.NDArray[np.int32],
                                                   npt.NDArray[np.int8],
                                                   npt.NDArray[np.float64], _Bytes]]: ...


def read_run(folder: bytes) -> Dict[str, Any]: ...
def default_threads() -> int: ...
def version() -> str: ...
def chrom_name(code: int) -> str: ...
def chrom_code(field: bytes, ssf: bool) -> int: ...


MAX_PHENOTYPES: int
MISSING: float
MAX_THREADS: int
THREADS_ENV: str
CHROM_CHARS: int
ID_CHARS: int
ID_CUT_KEEP: int
ID_CUT_MARK: bytes
RECORD_LONG: int
RECORD_SHORT: int
RECORD_CHROM_AT: int
RECORD_CHROM_WIDTH: int
RECORD_ID_AT: int
RECORD_COUNT_AT: int
RECORD_COUNT_WIDTH: int
RECORD_P_AT: int
RECORD_P_WIDTH: int
RECORD_P_DIGITS: int
RECORD_UNTESTED_TEXT: bytes
RECORD_P: int
RECORD_UNTESTED: int
RECORD_STARS: int
RECORD_NONFINITE: int
CHROM_CODES: int
