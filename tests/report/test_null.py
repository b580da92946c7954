"""lambda_method on small simulated null studies, run through kolva and the
report: near 1 under the null, clearly above with inflated z."""
import json
import os

import pytest
from conftest import KOLVA, simulated_run, two_groups
from kolva_report import cli

pytestmark = [pytest.mark.skipif(not os.path.exists(KOLVA), reason="kolva is made by the build")]
CORR = two_groups(6, 0.6, 0.2)


@pytest.mark.parametrize("scale, low, high", [(1.0, 0.95, 1.05), (1.1, 1.3, 2.5)])
def test_lambda_method_against_the_null(tmp_path, scale, low, high):
    pytest.importorskip("kolva")
    run = simulated_run(str(tmp_path), CORR, 30_000, seed=7, scale=scale, missing=0.05)
    assert cli.main(["--null-draws", "30000", "-o", str(tmp_path / "out"),
                     os.path.join(run, "results.txt")],
                    "0") == 0
    s = json.loads((tmp_path / "out" / "summary.json").read_text())
    assert low <= s["lambda_method"] <= high, s["lambda_method"]
    if scale == 1.0:  # the classic lambda reads low on the same null study
        assert s["lambda_gc"] < 0.95
        assert all(0.95 < v < 1.05 for v in s["lambda_gc_traits"].values())
        # about 30 draws fall below 1e-3, too few: both expectations are uniform
        assert [t["expected_from"] for t in s["tail_counts"]] == ["uniform", "uniform"]
