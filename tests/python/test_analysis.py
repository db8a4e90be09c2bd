"""analyse() against a direct least-squares fit written here from the model's definition."""

import json
import types

import numpy as np
import pandas as pd
import pytest
from scipy import stats

import simtrove


def block_run(seed=5, shape=(6, 5, 4), volumes=60, percent=4.0):
    """Rest/Task blocks of 10 volumes, white noise sd 1 on 100, Task signal in the first x-plane."""
    rng = np.random.default_rng(seed)
    task = ((np.arange(volumes) // 10) % 2).astype(np.float32)
    design = pd.DataFrame({"Rest": 1 - task, "Task": task})
    truth = np.zeros(shape, dtype=np.int16)
    truth[0] = 2
    data = 100 + rng.standard_normal(shape + (volumes,))
    data[truth == 2] += percent * task
    return types.SimpleNamespace(data=data.astype(np.float32), truth=truth, design=design,
                                 affine=np.diag([3.0, 3.0, 3.0, 1.0]), repetition_time=2.0)


def direct_t(data, design, weights):
    """t of the contrast `weights` (over the predictors, then the constant) by normal equations."""
    X = np.column_stack([design.to_numpy(float), np.ones(len(design))])
    y = data.reshape(-1, data.shape[-1]).T.astype(float)
    XtX_pinv = np.linalg.pinv(X.T @ X)
    b = XtX_pinv @ X.T @ y
    rank = np.linalg.matrix_rank(X)
    s2 = ((y - X @ b) ** 2).sum(0) / (len(X) - rank)
    c = np.asarray(weights, float)
    t = (c @ b) / np.sqrt(s2 * (c @ XtX_pinv @ c))
    return t.reshape(data.shape[:3]), len(X) - rank


def test_t_map_and_detections_match_a_direct_fit():
    run = block_run()
    result = simtrove.analyse(run, contrast="Task - Rest", threshold={"uncorrected": 0.01})
    t, df = direct_t(run.data, run.design, [-1, 1, 0])
    assert result.statistics == ["Rest", "Task", "Task - Rest"]
    assert result.degrees_of_freedom == df
    # the model's decomposition is in single precision: t agrees to about 1e-5 of its scale
    np.testing.assert_allclose(result.t["Task - Rest"], t, rtol=1e-5, atol=2e-4)

    p = stats.t.sf(t, df)  # the report's default: the positive tail
    planted = run.truth == 2
    rows = result.detections.set_index(["statistic", "threshold"])
    for name, cut in [("uncorrected", 0.01), ("Bonferroni", 0.05 / t.size)]:
        row = rows.loc[("Task - Rest", name)]
        detected = p < cut
        assert row.true_positives == np.count_nonzero(detected & planted)
        assert row.false_positives == np.count_nonzero(detected & ~planted)
        assert row.sensitivity == pytest.approx(np.count_nonzero(detected & planted) / planted.sum())
        assert row.false_positive_rate == pytest.approx(
            np.count_nonzero(detected & ~planted) / (~planted).sum())
    # ROC area: the chance that a planted voxel's t beats a noise voxel's
    a, n = t[planted], t[~planted]
    area = (a[:, None] > n[None, :]).mean() + 0.5 * (a[:, None] == n[None, :]).mean()
    assert rows.loc[("Task - Rest", "FDR")].roc_area == pytest.approx(area, abs=1e-9)
    assert set(result.roc["statistic"]) == {"Task", "Task - Rest"}  # Rest tests nothing planted


@pytest.mark.parametrize("kwargs, message", [
    ({"contrast": "Task - Faces"}, 'no predictor named "Faces"'),
    ({"noise_model": "gls"}, "--noise-model gls: expected ols or ar1"),
    ({"threshold": {"holm": 0.05}}, "threshold: unknown threshold 'holm'"),
    ({"exclude": ["Faces"]}, "--exclude Faces: the design matrix has no such predictor"),
])
def test_bad_options_raise_the_reports_text(kwargs, message):
    with pytest.raises(ValueError, match=message):
        simtrove.analyse(block_run(), **kwargs)


def test_a_programs_file_gives_the_analysis_of_the_run_in_memory(program, tmp_path):
    from conftest import tiny_scenario

    (tmp_path / "s.json").write_text(json.dumps(tiny_scenario()))
    assert program("simulate", tmp_path / "s.json", "--out", tmp_path).returncode == 0
    in_memory = simtrove.analyse(simtrove.simulate(tmp_path / "s.json"), noise_model="ar1")
    from_file = simtrove.analyse(tmp_path / "Tiny.nii.gz", noise_model="ar1")
    pd.testing.assert_frame_equal(in_memory.detections, from_file.detections)
    np.testing.assert_array_equal(in_memory.t["Task - Rest"], from_file.t["Task - Rest"])
