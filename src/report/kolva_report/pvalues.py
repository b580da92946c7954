"""p-values as the page writes them, and p = 0.

A p-value of 0, in the p-value file or in a result record, is one below the
smallest positive double (4.9e-324): it was too small to be held, and its
exact value is lost. The report ranks such values as the smallest of all,
gives them -log10 p = NEG_LOG10_ZERO (that of the smallest positive double)
in its tables, and draws them at the top of each axis with a marker of their
own. A value written with more digits than a double holds (a record's 15
digits, `.183482830401044-330`) is read from its text where it matters.
"""
import math
from decimal import Decimal, InvalidOperation
from typing import Optional, Union

import numpy as np

SMALLEST = float(np.nextafter(0.0, 1.0))  # 4.9e-324, the smallest positive double
NEG_LOG10_ZERO = -math.log10(SMALLEST)    # 323.306..., -log10 p given to p = 0
ZERO_TEXT = f"< {SMALLEST:.2e}"           # how the page writes p = 0
ZERO_MEANS = (f"0: below the smallest positive double ({SMALLEST:.2e}); its exact value is "
              "lost")
_CENT = Decimal("0.01")


def short(p: Union[str, float, None]) -> str:
    """A p-value in short scientific form, three significant digits
    (`7.19e-14`), from its text (exact, also below the smallest double) or
    its value; `< 4.94e-324` for 0, `n/a` for none."""
    if p is None or (isinstance(p, float) and math.isnan(p)):
        return "n/a"
    try:
        d = Decimal(p if isinstance(p, str) else repr(float(p)))
    except InvalidOperation:
        return "n/a"
    if not d.is_finite():
        return "n/a"
    if d.is_zero():
        return ZERO_TEXT
    exp = d.adjusted()
    mantissa = d.scaleb(-exp).quantize(_CENT)
    if abs(mantissa) >= 10:  # 9.995 rounded up to the next power of ten
        exp, mantissa = exp + 1, (mantissa / 10).quantize(_CENT)
    return f"{mantissa}e{exp:+03d}"


def exact(p: Union[str, float, None]) -> Optional[str]:
    """The tooltip of a p-value: its exact text, and what 0 means."""
    if p is None or (isinstance(p, float) and math.isnan(p)):
        return None
    text = p if isinstance(p, str) else repr(float(p))
    try:
        zero = Decimal(text).is_zero()
    except InvalidOperation:
        return text
    return f"{text} ({ZERO_MEANS})" if zero else text


def zero_count(p: np.ndarray) -> int:
    """p-values equal to 0 (NaN, missing, does not count)."""
    return int(np.count_nonzero(p == 0))
