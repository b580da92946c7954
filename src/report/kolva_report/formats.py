"""The one form of a message about a bad input: `FILE:LINE: what`. The
layouts kolva-report shares with kolva and kolva-prep (the record widths,
the id cut, the chromosome names and order) are the library's, asked from
the engine's module (`kolva.formats`; engine.module())."""
import re


def where(path: str, line: int) -> str:
    """The place of a bad input in a message: `FILE:LINE`."""
    return f"{path}:{line}"


class FormatError(Exception):
    """A line of an input that is not what it should be: `FILE:LINE: what`."""

    def __init__(self, path: str, line: int, what: str) -> None:
        super().__init__(f"{where(path, line)}: {what}")
        self.path, self.line, self.what = path, line, what

    @classmethod
    def of(cls, message: str, path: str, line: int) -> "FormatError":
        """The engine's message `FILE:LINE: what` as a FormatError; a message
        in another form stands at `path`:`line`."""
        m = re.match(r"(.*?):(\d+): (.*)", message, re.S)
        return cls(m[1], int(m[2]), m[3]) if m else cls(path, line, message)
