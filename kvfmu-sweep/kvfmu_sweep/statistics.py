"""DIR/statistics.csv: each result's statistics over the runs that ended ok, and for sampled
sweeps the rank correlation of every swept name with it, so that one sees which input matters."""

import pandas as pd
from scipy import stats

QUANTILES = {"p5": 0.05, "p50": 0.5, "p95": 0.95}


def write_statistics(path, summary_path, names, results, rank_correlations):
    """One row per result column: result, count, mean, std (of a sample), p5, p50, p95, then
    rank_correlation:NAME (Spearman) per swept name when `rank_correlations`. Empty where
    too few runs ended ok to tell."""
    summary = pd.read_csv(summary_path, dtype={"run": str, "error": str})
    ok = summary[summary["status"] == "ok"]
    rows = []
    for result in results:
        values = pd.to_numeric(ok[result], errors="coerce")
        row = {"result": result, "count": int(values.count()), "mean": values.mean(),
               "std": values.std()}
        for column, q in QUANTILES.items():
            row[column] = values.quantile(q)
        if rank_correlations:
            for name in names:
                row[f"rank_correlation:{name}"] = _spearman(ok[name], values)
        rows.append(row)
    columns = ["result", "count", "mean", "std", *QUANTILES]
    if rank_correlations:
        columns += [f"rank_correlation:{name}" for name in names]
    pd.DataFrame(rows, columns=columns).to_csv(path, index=False, float_format="%.17g")


def _spearman(x, y):
    both = pd.concat([x, y], axis=1).dropna()
    if len(both) < 3 or both.iloc[:, 0].nunique() < 2 or both.iloc[:, 1].nunique() < 2:
        return float("nan")
    return stats.spearmanr(both.iloc[:, 0], both.iloc[:, 1]).correlation
