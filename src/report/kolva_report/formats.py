"""The layouts kolva-report shares with kolva and kolva-prep (docs/formats.md):
result record widths, how kolva keeps a chromosome field and a variant id,
the chromosome order, and the one form of a message about a bad input.
Every other module takes them from here."""
from typing import Tuple

# The most phenotypes a run has.
MAX_PHENOTYPES = 50
# A result record: 65 characters with a combined p-value, 50 with `-9.00`.
LONG, SHORT = 65, 50
# kolva keeps the first 4 characters of the chromosome field and the first
# 33 of the id; a longer id is cut to its first 30 and `...`.
CHROM_WIDTH = 4
ID_WIDTH = 33
ID_CUT = 30
ID_MARK = b"..."

# 1 ... 22, X, Y, XY, MT: the order of kolva-prep's inputs and outputs.
CHROM_ORDER: Tuple[str, ...] = tuple(str(k) for k in range(1, 23)) + ("X", "Y", "XY", "MT")
# The same by name (M is another name of MT), 1-based.
CHROM_RANK = {**{name: k for k, name in enumerate(CHROM_ORDER, 1)}, "M": len(CHROM_ORDER)}


def where(path: str, line: int) -> str:
    """The place of a bad input in a message: `FILE:LINE`."""
    return f"{path}:{line}"


class FormatError(Exception):
    """A line of an input that is not what it should be: `FILE:LINE: what`."""

    def __init__(self, path: str, line: int, what: str) -> None:
        super().__init__(f"{where(path, line)}: {what}")
        self.path, self.line, self.what = path, line, what


# Where the fields stand in a record, 0-based [start, end): a blank, the
# chromosome field (5 columns: a blank and the 4 kept characters), a blank,
# the id, a blank, the count of present p-values (3), a blank, the p field.
CHROM_FIELD = (2, 2 + CHROM_WIDTH)
ID_FIELD = (7, 7 + ID_WIDTH)
COUNT_FIELD = (41, 44)
P_FIELD = (45, LONG)
P_WIDTH = P_FIELD[1] - P_FIELD[0]
UNTESTED_FIELD = b"-9.00"  # the p field of the short record
