"""The sweep's plot: each swept parameter against a final output, and trajectories overlaid."""

import io
import math

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (the backend is chosen first)
import pandas as pd  # noqa: E402

FORMATS = (".png", ".svg")


def write_plot(path, summary_path, parameters, output, trajectories, group=None, units=None,
               variable=None):
    """Writes `path` (PNG or SVG). One panel per swept parameter: its value against the
    result `output` (a summary column) over the runs that ended ok, as points, or as one line
    per value of the parameter `group`; a last panel overlays the output `variable` (default:
    `output`, a final value) over time in `trajectories` ({run id: CSV bytes}). Axes name
    each variable with its unit from `units` ({name: unit}). Answers the number of runs
    plotted."""
    units = units or {}
    variable = variable or output
    result_label = f"{output} at the end" if variable == output else output

    def label(name, text=None):
        unit = units.get(name)
        return f"{text or name} [{unit}]" if unit else (text or name)

    table = pd.read_csv(summary_path, dtype={"run": str, "error": str})
    ok = table[table["status"] == "ok"]
    x_parameters = [p for p in parameters if p != group] or list(parameters)
    panels = len(x_parameters) + (1 if trajectories else 0)
    columns = min(panels, 3)
    rows = math.ceil(panels / columns)
    figure, axes = plt.subplots(rows, columns, figsize=(5 * columns, 4 * rows), squeeze=False)
    axes = list(axes.flat)
    for ax, parameter in zip(axes, x_parameters):
        if group and group in ok.columns and group != parameter:
            for value, runs in ok.groupby(group):
                runs = runs.sort_values(parameter)
                ax.plot(runs[parameter], runs[output], marker="o", markersize=3,
                        label=f"{group} = {value:g} {units.get(group, '')}".rstrip())
            if len(ok):
                ax.legend(fontsize="small")
        else:
            ax.scatter(ok[parameter], ok[output], s=12)
        ax.set_xlabel(label(parameter))
        ax.set_ylabel(label(variable, result_label))
        ax.grid(True, alpha=0.3)
    if trajectories:
        ax = axes[len(x_parameters)]
        for run_id in sorted(trajectories):
            data = pd.read_csv(io.BytesIO(trajectories[run_id]))
            if variable in data.columns:
                ax.plot(data["time"], data[variable], linewidth=1, label=run_id)
        ax.set_xlabel("time [s]")
        ax.set_ylabel(label(variable))
        ax.set_title(f"{variable} of {len(trajectories)} runs", fontsize="medium")
        if len(trajectories) <= 10:
            ax.legend(fontsize="small")
        ax.grid(True, alpha=0.3)
    for ax in axes[panels:]:
        ax.set_visible(False)
    figure.suptitle(f"{len(ok)} of {len(table)} runs ended ok")
    figure.tight_layout()
    figure.savefig(path)
    plt.close(figure)
    return len(ok)
