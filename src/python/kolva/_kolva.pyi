# The compiled part of kolva (src/python/module.cpp); the package's
# functions bring every argument into these forms.
from typing import Any, List, Optional, Tuple, Union

import numpy as np
import numpy.typing as npt

_Results = Union[npt.NDArray[np.float64], Tuple[npt.NDArray[np.float64], npt.NDArray[np.int32],
                                               npt.NDArray[np.int32], npt.NDArray[np.float64],
                                               npt.NDArray[np.float64], npt.NDArray[np.int8]]]


class Engine:
    def __init__(self, corr: npt.NDArray[np.float64]) -> None: ...
    @property
    def phenotypes(self) -> int: ...
    def effective_tests(self) -> float: ...
    def combine_strided(self, p: npt.NDArray[Any], threads: int,
                        details: bool) -> _Results: ...
    def combine_columns(self, columns: List[npt.NDArray[Any]], rows: int, threads: int,
                        details: bool) -> _Results: ...


class Chunks:
    def __init__(self, path: Union[str, bytes], phenotypes: int, chunk: int) -> None: ...
    def next(self) -> Optional[Tuple[int, npt.NDArray[np.bytes_], npt.NDArray[np.bytes_],
                                     npt.NDArray[np.float64]]]: ...


def default_threads() -> int: ...
def version() -> str: ...
