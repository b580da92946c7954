import numpy as np
import pytest
from conftest import record
from kolva_report import records, stats

# z = Phi^-1(1 - p/2) of the middle p-values, squared, over the chi-square(1)
# median 0.454936423119572: by hand, not by the code under test.
Z05, Z20 = 1.9599639845400545, 1.2815515655446004


@pytest.mark.parametrize("p, expected", [
    ([0.9, 0.05, 0.2, 0.01], (Z05 ** 2 + Z20 ** 2) / 2 / 0.454936423119572),  # 6.02703...
    ([0.7, 0.5, 0.01], 1.0),
    ([], None),
])
def test_lambda_gc(p, expected):
    got = stats.lambda_gc(np.sort(np.array(p, float)))
    assert got == pytest.approx(expected, rel=1e-12) if expected else got is None


def test_top_hits_smallest_first_ties_in_record_order_across_chunks(tmp_path):
    # Record r has p = (31 - r) / 1000, but record 4 ties with record 26
    # (0.005, in the other chunk); untested and asterisk records never count.
    fields = [f".{k:02d}0000000000000E-02" for k in range(30, 0, -1)]
    fields[3] = fields[25]
    lines = [record("1", f"rs{i + 1}", 2, f) for i, f in enumerate(fields)]
    lines[10] = record("1", "rs11", 1, "-9.00")
    lines[12] = record("1", "rs13", 2, "*" * 20)
    acc = stats.Accumulator()
    (tmp_path / "r.txt").write_text("\n".join(lines) + "\n")
    for rec in records.read(str(tmp_path / "r.txt"), 17):
        pos = np.arange(rec.first + 1, rec.first + len(rec) + 1)
        acc.add(rec, np.zeros(len(rec), np.int32), pos,
                lambda i, rec=rec, pos=pos: ("1", pos[i], f"rs{pos[i]}", "", ""))
    summary, *_ = acc.finish()
    ids = [t["id"] for t in summary["top"]]
    assert ids[:8] == ["rs30", "rs29", "rs28", "rs27", "rs4", "rs26", "rs25", "rs24"]
    assert len(ids) == 20 and "rs11" not in ids and "rs13" not in ids
    assert (summary["tested"], summary["fewer_than_two_present"], summary["p_asterisks"]) \
        == (28, 1, 1)


@pytest.mark.parametrize("count, scale", [(1, 1.0), (2, 1.0), (100_001, 1.0), (100_000, 1.2)])
def test_trait_lambda_from_its_histogram_is_the_exact_lambda(count, scale):
    from kolva_report import null, traitpass
    from scipy import stats as sps
    z = np.random.default_rng(count).standard_normal(count) * scale
    p = 2 * sps.norm.sf(np.abs(z))
    hist = np.bincount(np.minimum((p * traitpass.HIST_BINS).astype(int), traitpass.HIST_BINS - 1),
                       minlength=traitpass.HIST_BINS)
    exact = stats.lambda_gc(np.sort(p))
    assert null.lambda_from_hist(hist) == pytest.approx(exact, rel=1e-4 if count > 2 else 0.1)
