"""What a sweep gives back beyond the final values, on a LocalCluster of two workers with the
stand-in runner: --metric columns equal to those computed from the kept trajectories, and
statistics.csv equal to pandas' on the summary, for a grid crossed with a Latin hypercube
and a value held by --set."""

import numpy as np
import pandas as pd
import pytest

from conftest import STANDIN_RUNNER, run_tool

METRICS = {  # --metric: its value from a trajectory (time t, values x)
    "final:y": lambda t, x: x[-1],
    "max:z": lambda t, x: np.max(x),
    "min:y": lambda t, x: np.min(x),
    "mean:y": lambda t, x: np.trapz(x, t) / (t[-1] - t[0]),
    "integral:z": lambda t, x: np.trapz(x, t),
    "at:0.6:y": lambda t, x: np.interp(0.6, t, x),
}


@pytest.mark.filterwarnings("ignore:An input array is constant")  # min:y is 0 in every run
def test_metrics_and_statistics(tmp_path, standin_fmu):
    out = tmp_path / "out"
    metric_args = [a for m in METRICS for a in ("--metric", m)]
    done = run_tool([standin_fmu, "--grid", "k=1,2", "--sample", "c=truncnormal(0,1,-0.5,0.5)",
                     "--lhs", "6", "--set", "u=3", "--keep-trajectories", "-o", out, "-q",
                     "--workers", "2", "--runner", STANDIN_RUNNER] + metric_args)
    assert done.returncode == 0, done.stderr
    summary = pd.read_csv(out / "summary.csv", float_precision="round_trip")
    assert list(summary.columns) == ["run", "k", "c", "status", "error", "wall_seconds", *METRICS]
    # Every grid point with the same sample, held within its bounds.
    assert list(summary["k"]) == [1.0] * 6 + [2.0] * 6
    assert list(summary["c"][:6]) == list(summary["c"][6:])
    assert summary["c"].between(-0.5, 0.5).all()
    for _, row in summary.iterrows():
        assert row["final:y"] == row["k"] + row["c"] + 3  # --set u=3 reached each run
        trajectory = pd.read_csv(out / "runs" / row["run"] / "trajectory.csv",
                                 float_precision="round_trip")
        for metric, compute in METRICS.items():
            output = metric.rsplit(":", 1)[1]
            assert row[metric] == compute(trajectory["time"].to_numpy(),
                                          trajectory[output].to_numpy()), metric

    statistics = pd.read_csv(out / "statistics.csv").set_index("result")
    assert list(statistics.index) == list(METRICS)
    for metric in METRICS:
        values = summary[metric]
        got = statistics.loc[metric]
        assert got["count"] == len(values)
        assert got[["mean", "std"]].tolist() == pytest.approx([values.mean(), values.std()])
        assert got[["p5", "p50", "p95"]].tolist() == pytest.approx(
            values.quantile([0.05, 0.5, 0.95]).tolist())
        for name in ("k", "c"):
            assert got[f"rank_correlation:{name}"] == pytest.approx(
                summary[name].corr(values, method="spearman"), nan_ok=True)
