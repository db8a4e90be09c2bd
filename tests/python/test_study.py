"""study(): the same table wherever it runs, and its figures against a direct computation."""

import matplotlib

matplotlib.use("Agg")

import numpy as np  # noqa: E402
import pandas as pd  # noqa: E402
import pytest  # noqa: E402
from scipy import stats  # noqa: E402

import simtrove  # noqa: E402
from conftest import tiny_scenario  # noqa: E402

STUDY = dict(seeds=[1, 2, 3], vary={"regions.0.percent": [0.5, 3]},
             analyses=[{"noise_model": "ols"}, {"noise_model": "ar1"}], progress=False)


@pytest.fixture(scope="module")
def serial():
    return simtrove.study(tiny_scenario(), processes=1, **STUDY)


def test_serial_local_processes_and_a_cluster_give_the_same_table(serial):
    from distributed import Client, LocalCluster

    assert len(serial) == 3 * 2 * 2 * 3  # seeds x percents x analyses x thresholds
    assert list(serial["run"]) == sorted(serial["run"])
    local = simtrove.study(tiny_scenario(), processes=2, **STUDY)
    with LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster, \
            Client(cluster) as client:
        remote = simtrove.study(tiny_scenario(), client=client, **STUDY)
    pd.testing.assert_frame_equal(local, serial)
    pd.testing.assert_frame_equal(remote, serial)


def test_rows_match_a_direct_ols_computation(serial):
    """Each OLS row: t of Task - Rest by normal equations, one-sided p, counted here."""
    rows = serial[(serial["analysis"] == "noise_model=ols") & (serial["threshold"] == "uncorrected")]
    for row in rows.to_dict("records"):
        scenario = tiny_scenario()
        scenario["regions"][0]["percent"] = row["regions.0.percent"]
        sim = simtrove.simulate(scenario, seed=row["seed"])
        X = np.column_stack([sim.design.to_numpy(float), np.ones(len(sim.design))])
        y = sim.data.reshape(-1, X.shape[0]).astype(float).T
        pinv = np.linalg.pinv(X.T @ X)
        b = pinv @ X.T @ y
        df = X.shape[0] - np.linalg.matrix_rank(X)
        s2 = ((y - X @ b) ** 2).sum(0) / df
        c = np.array([-1.0, 1.0, 0.0])
        p = stats.t.sf((c @ b) / np.sqrt(s2 * (c @ pinv @ c)), df)
        planted, detected = sim.truth.reshape(-1) == 2, p < 0.001
        assert row["true_positives"] == np.count_nonzero(detected & planted)
        assert row["false_positives"] == np.count_nonzero(detected & ~planted)
        assert row["sensitivity"] == pytest.approx(np.mean(detected[planted]))
        assert row["false_positive_rate"] == pytest.approx(np.mean(detected[~planted]))


def test_plot_study_draws_the_means_with_their_intervals(serial):
    part = serial[serial["threshold"] == "FDR"]
    fig = simtrove.plot_study(part, x="regions.0.percent", y="sensitivity", hue="analysis")
    lines = fig.axes[0].get_lines()
    assert [line.get_label() for line in lines] == ["noise_model=ar1", "noise_model=ols"]
    for line, (_, group) in zip(lines, part.groupby("analysis")):
        means = group.groupby("regions.0.percent")["sensitivity"]
        np.testing.assert_allclose(line.get_ydata(), means.mean())
    summary = simtrove.plot.summarise(part, "regions.0.percent", "sensitivity", "analysis")
    values = part[(part["analysis"] == "noise_model=ols") & (part["regions.0.percent"] == 3)]
    values = values["sensitivity"].to_numpy()
    half = stats.t.ppf(0.975, 2) * values.std(ddof=1) / np.sqrt(3)
    first = summary[(summary["analysis"] == "noise_model=ols") &
                    (summary["regions.0.percent"] == 3)].iloc[0]
    assert (first.low, first.high) == pytest.approx((values.mean() - half, values.mean() + half))


@pytest.mark.parametrize("vary, message", [
    ({"regions.3.percent": [1]}, "regions.3: no such list entry"),
    ({"noise.temporal.ar": [[1.5]]}, "noise.temporal.ar: not stationary"),
])
def test_bad_studies_are_refused_with_the_key(vary, message):
    with pytest.raises(ValueError, match=message):
        simtrove.study(tiny_scenario(), seeds=[1], vary=vary, analyses=[{}], processes=1,
                       progress=False)
