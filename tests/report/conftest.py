import os
import sys

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), os.pardir, os.pardir))
sys.path.insert(0, os.path.join(SOURCE, "src", "report"))


def record(chrom, ident, n, pfield):
    """A result record as Kolva writes it, without its line end."""
    return f"  {chrom:<4} {ident:<33} {n:3d} {pfield}"
