"""The results a sweep keeps of each run: `final:x` (the default, one per output), `max:x`,
`min:x`, `mean:x` (weighted by time), `integral:x` and `at:T:x` (the value at time T).

Parsed on the client; evaluated on the worker from the run's whole trajectory as kvfmu-run
wrote it, except `final:x`, which is the summary row's value. Sent to the workers by value
with the chunk task: it imports only the standard library and NumPy.
"""

import csv
import io
import math

import numpy as np

KINDS = ("final", "max", "min", "mean", "integral", "at")


class MetricError(ValueError):
    pass


def parse(text, outputs):
    """`KIND:NAME` or `at:T:NAME` -> (column, kind, output, time); the column is the text."""
    parts = text.strip().split(":")
    kind = parts[0]
    if kind not in KINDS or len(parts) != (3 if kind == "at" else 2):
        raise MetricError(f'--metric "{text}": one of {", ".join(k + ":NAME" for k in KINDS[:-1])}'
                          " or at:T:NAME expected")
    name = parts[-1]
    if name not in outputs:
        raise MetricError(f'--metric "{text}": {name} is not an output '
                          f'(outputs: {", ".join(outputs) or "none"})')
    time = None
    if kind == "at":
        try:
            time = float(parts[1])
        except ValueError:
            time = math.nan
        if not math.isfinite(time):
            raise MetricError(f'--metric "{text}": T "{parts[1]}" is not a finite number')
    return (text.strip(), kind, name, time)


def defaults(outputs):
    """The final value of every output, in columns named as the outputs."""
    return [(name, "final", name, None) for name in outputs]


def needs_trajectory(metrics):
    return any(kind != "final" for _, kind, _, _ in metrics)


def evaluate(metrics, summary_row, trajectory):
    """{column: text} of `metrics` for one run that ended ok: `final` from `summary_row`
    (kvfmu-run's row), the others from `trajectory` (the CSV bytes of DIR/<run>.csv)."""
    values = {}
    columns = None
    for column, kind, name, time in metrics:
        if kind == "final":
            values[column] = summary_row.get(name, "")
            continue
        if columns is None:
            columns = _read(trajectory)
        t, x = columns["time"], columns[name]
        if kind == "max":
            value = np.max(x)
        elif kind == "min":
            value = np.min(x)
        elif kind == "integral":
            value = np.trapz(x, t)
        elif kind == "mean":
            span = t[-1] - t[0]
            value = np.trapz(x, t) / span if span > 0 else x[-1]
        else:
            if not t[0] <= time <= t[-1]:
                raise MetricError(f"at:{time:g}: the run covers {t[0]:g} to {t[-1]:g} s only")
            value = np.interp(time, t, x)
        values[column] = format_number(value)
    return values


def _read(trajectory):
    text = trajectory.decode("utf-8")
    header = next(csv.reader([text[:text.index("\n")]]))
    data = np.loadtxt(io.StringIO(text), delimiter=",", skiprows=1, ndmin=2)
    return {name: data[:, i] for i, name in enumerate(header)}


def format_number(value):
    """The shortest decimal that reads back to the same double ("2", not "2.0")."""
    text = repr(float(value))
    return text[:-2] if text.endswith(".0") else text
