#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

The seeds are the inputs of the unit and end-to-end tests, in the form each
target reads. Run from the repository root: python3 fuzz/make_seeds.py
"""
import hashlib
import os

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")

FREE = [
    "1 2 3", "1,,2", "1 , 2", "1,\n,2", "1\n,2", "1\n;2", "1;\n,2", "1;2", "1;;2",
    "1\n,\n,2", "1\n, ,2", ",2", ";2", "\n,2", "\n;2", "\r\n ,2", "\r,2",
    "1\r2\r\n3\n4", "1\t2 \t,\t3", "\n\n 1\n\n\n2", ",", "", " \t ", "0.1 0.2",
    "0.1 0.2 0.3 0.4", "1 2 junk", "0.5/", "3 /", "/ 1", "1,/", "1\n/ x", "2*7",
    "3*7", "1 2*3", "3* 5", "3*", "2*,5", "2*/", "3*-5", "200000000*1.5",
    "1 -3*5", "0*1", "300000000*1", "99999999999999999999999999*1", "2*3*5",
    "1e999 -1e999 1e-400 -1e-400",
    "1.0d-3 1.0E-3 1.0q-3 1.0-3 1.0D-3 1.0Q-3 1.0e-3 1-3",
    "1.5D3 1.5e+3 1.5+3 15-3 1500e0", "7 7. .5 -0.25 +1.5 -0 0.0e0 00012.50",
    "1e99999999999999999999 1e-99999999999999999999 0e99999",
    "inf INF -Infinity +inf infinity", "NaN nan(123) -nan nan() +NAN(a/b)",
    "4.9406564584124654e-324 2.4703282292062328e-324 2.2250738585072011e-308",
    "1.7976931348623157e308 1.7976931348623159e308 9007199254740993",
    "2.5E ", "2.5e+,", "2.5E", "1 .", "-.", "2147483647 -2147483648 2147483648",
    "0.5 NA 0.3", "0.5 na 0.3", "0.5 N 0.3", "0.5 NaN 0.3", "2*NA 0.1", "inf nan(",
    "1" * 800 + " 0." + "0" * 400 + "1", "1,\x00,2", "1 2\x80\xff 3",
]

TEXT = ["full\nlow\np.txt\nc.txt\nr.txt\n", "f\n\n", "abc\r\nde\rfg\nh",
        "x" * 30 + "\r\nnext\n", "\r\r\n\n", "ful", "tab\there, comma/slash\n"]

VARIANT = [
    "1 rs123 0.01 0.2\n", "  1   rs1   0.1  NA  0.3\r\n", "chr10 rs2 0.5 N 0.3\n",
    "1 " + "r" * 34 + " 0.1 0.2\n", "1\trs1\t0.1\t0.2\n", "\n", "1 rs1\n",
    "1 rs1 0.5x 0.2\n", "1 rs1 -9 -9.0 -9e0 -9.5 9\n", "1 rs1 0.3 NaN\n",
    "1 rs1 0.1,,0.2\n1 rs2 0.1 /\n", "1 rs1 1e999 1e-400\r2 rs2 0.1 0.2",
    "1 rs1 " + "0.1 " * 60 + "\n",
]

RUNS = [
    ("2 3\nlow\np.txt\nc.txt\nr.txt\n", "1\n0.5 1\n",
     "1 rs1 0.01 0.2\n1 rs2 NA 0.3\n2 rs3 0.04 0.05\n"),
    ("3 2\nful\np.txt\nc.txt\nr.txt\n", "1 0.5 0.2\n0.5 1 0.3\n0.2 0.3 1\n",
     "1 rs1 0.01 0.02 0.03\r\n1 rs2 0.5 N 0.3\r\n"),
    ("1\n2\nFul\np.txt\nc.txt\nr.txt\n", "0.7\n", "1 rs1 0.5\n1 rs2 0.1\n"),
    ("2 5\nlow\np.txt\nc.txt\nr.txt\n", "1 0.5 1", "1 rs1 0.1 0.2\n1 rs2 0.3"),
    ("2 1\nful\np.txt\nc.txt\nr.txt\n", "1 0.5\n0.51 1\n", "1 rs1 0.1 0.2\n"),
    ("51 1\nlow\np.txt\nc.txt\nr.txt\n", "", ""),
    ("-1 1\nlow\np.txt\nc.txt\nr.txt\n", "", ""),
    ("3 /\n", "", ""),
    ("4 2\nlow\np.txt\nc.txt\nkolva_log.txt\n", "1 .1 1 .2 .3 1 .1 .2 .3 1", "1 a 1 2 3 4\n"),
    ("2 2\nlow\np.txt\nc.txt\nr.txt\n", "1 0.5 1", "1 rs1 0.1 0.2\n1 rs2 0.5x 0.2\n"),
    ("2 2\nlow\np.txt\nc.txt\nr.txt\n", "1 2*0.5", "1 rs1 0.1 0.2\n1 rs2 0.5 , 0.2\n"),
]

# Engines and blocks for the C interface: the shape byte (phenotypes - 1 in
# its low bits, 0x40 as given, 0x20 a block of many rows, 0x80 more
# phenotypes), the rows, then correlations and p-value words.
API = [
    bytes([0x01, 3, 200]) + bytes(range(0, 256, 3)),
    bytes([0x03, 40, 127, 140, 90, 200, 30]) + bytes(range(255, 0, -1)),
    bytes([0x27, 10]) + bytes(range(28)) + bytes([0x10, 0x00, 0x20, 0x00, 0x3f, 0x31] * 40),
    bytes([0x41, 5, 255]) + bytes([0x00, 0x20] * 10),
    bytes([0x87, 20, 3]) + bytes(range(256)) * 6,
    bytes([0x02, 0]),
]


def put(target, data):
    d = os.path.join(ROOT, target)
    os.makedirs(d, exist_ok=True)
    name = hashlib.sha1(data).hexdigest()
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


def b(s):
    return s.encode("latin-1")


def main():
    for text in FREE:
        for mode in range(8):
            for n in (2, 6):
                put("freeform", bytes([mode, n, 0]) + b(text))
    put("freeform", bytes([1, 2500 % 256, 2500 // 256]) + b("1 " * 1275))
    for text in TEXT:
        for w in (0, 1, 2, 7):
            put("text", bytes([w]) + b(text))
    for text in VARIANT:
        for nvara in (1, 2, 3, 50):
            put("variant", bytes([nvara]) + b(text))
    # A line that crosses the reader's 64 KiB buffer, its CR the last byte.
    put("variant", bytes([2]) + b("1 rs1 " + "0" * 65530 + "1 0.2\r\n1 rs2 0.1 0.2\n"))
    for data in API:
        put("api", data)
    for defdims, corr, pvals in RUNS:
        put("run", b(defdims + "\n%%\n" + corr + "\n%%\n" + pvals))


if __name__ == "__main__":
    main()
