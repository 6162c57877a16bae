"""DIR/statistics.csv: each result's statistics over the runs that ended ok, and for sampled
sweeps the rank correlation of every swept name with it, so that one sees which input matters."""

import warnings

import pandas as pd

QUANTILES = {"p5": 0.05, "p50": 0.5, "p95": 0.95}


def write_statistics(path, summary_path, names, results, rank_correlations):
    """One row per result column: result, count, mean, std (of a sample), p5, p50, p95, then
    rank_correlation:NAME (Spearman) per swept name when `rank_correlations`. Empty where
    too few runs ended ok to tell."""
    summary = pd.read_csv(summary_path, dtype={"run": str, "error": str},
                          float_precision="round_trip")
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
                with warnings.catch_warnings():  # a constant column has none: left empty
                    warnings.simplefilter("ignore")
                    row[f"rank_correlation:{name}"] = ok[name].corr(values, method="spearman")
        rows.append(row)
    columns = ["result", "count", "mean", "std", *QUANTILES]
    if rank_correlations:
        columns += [f"rank_correlation:{name}" for name in names]
    pd.DataFrame(rows, columns=columns).to_csv(path, index=False)

