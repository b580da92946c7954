"""results.ssf.tsv.gz, the combined p-values in the GWAS-SSF layout (the
GWAS Catalog's summary-statistics format, which FUMA, LocusZoom and the
Catalog's tools read), and its metadata file results.ssf.tsv.gz-meta.yaml.

A combined p-value has no effect size: beta, standard_error and
effect_allele_frequency are `#NA`. effect_allele and other_allele are the
map's allele1 and allele2 (the combined p does not depend on which is which).
Chromosomes are numbers: 1 ... 22, X = 23, Y = 24, XY = 23 (its positions
are X's), MT = 25.
"""
import hashlib
import json
import os
from typing import Any, Dict, List, Sequence, Tuple

import numpy as np

from . import genome
from .mapfile import MapChunk
from .pvalues import NEG_LOG10_ZERO, SMALLEST
from .records import Records
from .table import MATRIX_WIDTH, neg_columns, padded

NAME = "results.ssf.tsv.gz"
META = NAME + "-meta.yaml"
NA = b"#NA"
COLUMNS = ("chromosome", "base_pair_location", "effect_allele", "other_allele", "beta",
           "standard_error", "effect_allele_frequency", "p_value", "neg_log_10_p_value",
           "variant_id", "rsid", "n_present")
HEADER = ("\t".join(COLUMNS) + "\n").encode()
_CODES = {**{str(k): str(k) for k in range(1, 23)}, "X": "23", "Y": "24", "XY": "23",
          "MT": "25", "M": "25"}

Part = Tuple[np.ndarray, np.ndarray, np.ndarray]  # source bytes, starts, lengths
_UNKNOWN = 1000       # sort rank of a chromosome without an SSF number
_POS_SPAN = 10 ** 13  # positions lie below this, in the sort key of a row


def ssf_chrom(name: str) -> str:
    """The GWAS-SSF chromosome of a map's chromosome name (other names as they are)."""
    s = genome.label(name)
    return _CODES.get(s.upper(), s)


def assemble(parts: Sequence[Part]) -> bytes:
    """Row i is the concatenation of source[start[i]:start[i] + length[i]] of
    every part, in order."""
    lengths = np.stack([p[2] for p in parts], 1).astype(np.int64)
    row_end = np.cumsum(lengths.sum(1))
    out = np.empty(int(row_end[-1]) if len(row_end) else 0, np.uint8)
    before = (row_end - lengths.sum(1))[:, None] + np.cumsum(lengths, 1) - lengths
    for k, (src, start, length) in enumerate(parts):
        length = length.astype(np.int64)
        total = int(length.sum())
        within = np.arange(total) - np.repeat(np.cumsum(length) - length, length)
        out[np.repeat(before[:, k], length) + within] = src[np.repeat(start, length) + within]
    return out.tobytes()


def _const(text: bytes, rows: int) -> Part:
    return (np.frombuffer(text, np.uint8), np.zeros(rows, np.int64),
            np.full(rows, len(text), np.int64))


def _field(m: MapChunk, k: int) -> Part:
    """Field k (0-based) of each map line."""
    t = m.tabs
    start = m.starts if k == 0 else t[:, k - 1] + 1
    end = t[:, k] if k < t.shape[1] else m.ends
    return m.a, start, end - start


def _or_na(text: np.ndarray, length: np.ndarray, na: np.ndarray) -> Part:
    """Each row's text, `#NA` where na."""
    width = text.shape[1]
    src = np.concatenate((text.ravel(), np.frombuffer(NA, np.uint8)))
    start = np.where(na, len(src) - len(NA), np.arange(len(text)) * width)
    return src, start, np.where(na, len(NA), length)


def _rows(parts: Sequence[Part]) -> bytes:
    """As assemble(), through one 0-padded matrix whose zeros are then dropped
    (the fields hold no 0 byte): quicker while the fields are narrow."""
    if sum(int(p[2].max(initial=0)) for p in parts) > MATRIX_WIDTH:
        return assemble(parts)
    m = np.concatenate([padded(*p) for p in parts], axis=1)
    return m[m != 0].tobytes()


class Writer:
    """Rows per chunk of records and map lines; also notes whether the rows
    are sorted by chromosome and position."""

    def __init__(self, gz: Any) -> None:
        self.gz = gz
        self.last = -1
        self.sorted = True
        self.rows = 0

    def add(self, m: MapChunk, rec: Records, chrom_names: List[str], codes: np.ndarray) -> None:
        rows = len(rec)
        texts = [ssf_chrom(c).encode() for c in chrom_names]
        src = np.frombuffer(b"".join(texts), np.uint8)
        starts = np.cumsum([0] + [len(t) for t in texts])
        chrom = (src, starts[codes], np.array([len(t) for t in texts], np.int64)[codes])
        na = rec.plen < 3
        neg, nlen = neg_columns(rec)
        a = m.a
        _, s, ln = idf = _field(m, 2)
        # rsid: an id of the form rs<digits>
        nondigit = np.concatenate((np.zeros(1, np.int64), np.cumsum((a < 48) | (a > 57))))
        end = len(a) - 1
        rs = (ln > 2) & (a[np.minimum(s, end)] == ord("r")) \
            & (a[np.minimum(s + 1, end)] == ord("s")) \
            & (nondigit[s + ln] - nondigit[np.minimum(s + 2, s + ln)] == 0)
        tab = _const(b"\t", rows)
        parts = [chrom, tab, _field(m, 1), tab, _field(m, 3), tab, _field(m, 4),
                 _const(b"\t#NA\t#NA\t#NA\t", rows), _or_na(rec.ptext, rec.plen, na), tab,
                 _or_na(neg, nlen, na), tab, idf, tab,
                 (np.concatenate((a, np.frombuffer(NA, np.uint8))),
                  np.where(rs, s, len(a)), np.where(rs, ln, len(NA))),
                 tab, _field(m, 5), _const(b"\n", rows)]
        self.gz.write(_rows(parts))
        rank = np.array([int(c) if c.isdigit() else _UNKNOWN for c in map(ssf_chrom, chrom_names)],
                        np.int64)
        key = rank[codes] * _POS_SPAN + m.pos
        if rows:
            self.sorted &= bool(key[0] >= self.last) and bool((np.diff(key) >= 0).all())
            self.last = int(key[-1])
        self.rows += rows


def metadata(path: str, data_path: str, is_sorted: bool, names: List[str], software: str,
             date: str) -> None:
    """The metadata file GWAS-SSF pairs with a table; values not known from
    the run are `#NA`, to be filled in before a submission."""
    md5 = hashlib.md5()
    with open(data_path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            md5.update(block)
    na = "#NA"
    fields: Dict[str, object] = {
        "date_metadata_last_modified": date,
        "genotyping_technology": [na],
        "sample_size": na,
        "sample_ancestry": [na],
        "ancestry_method": [na],
        "trait_description": [f"combined association of {len(names)} traits (kolva): "
                              + ", ".join(names)],
        "genome_assembly": na,
        "coordinate_system": "1-based",
        "data_file_name": os.path.basename(NAME),
        "file_type": "GWAS-SSF v1.0",
        "data_file_md5sum": md5.hexdigest(),
        "is_harmonised": False,
        "is_sorted": is_sorted,
        "analysis_software": software,
    }
    with open(path, "w", encoding="utf-8") as f:
        f.write("# GWAS-SSF metadata written by kolva-report; fill in the #NA values "
                "before a submission\n")
        f.write(f"# neg_log_10_p_value is -log10 p from p_value's 15 digits; a p_value of 0 "
                f"(below the smallest\n# positive double, {SMALLEST:.4g}, its exact value lost) "
                f"has {NEG_LOG10_ZERO:.6f}, that of the smallest double\n")
        for key, value in fields.items():
            if isinstance(value, list):
                f.write(f"{key}:\n" + "".join(f"  - {json.dumps(v)}\n" for v in value))
            else:
                f.write(f"{key}: {json.dumps(value)}\n")
