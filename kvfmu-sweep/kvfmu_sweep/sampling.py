"""The runs of a sweep: a full grid, Latin hypercube or Monte Carlo samples, or a runs file."""

import csv
import itertools
import math
import re
from dataclasses import dataclass

import numpy as np
from scipy import stats
from scipy.stats import qmc

from .metrics import format_number  # noqa: F401  (the sweep's one way to write a number)


class SweepInputError(ValueError):
    """A grid, sample or runs file the user must fix; the text says what and where."""


@dataclass
class RunTable:
    """Runs in order: each run's id and one value per parameter, in `names` order."""
    names: list
    run_ids: list
    values: list  # one list of floats per run

    def __len__(self):
        return len(self.run_ids)


_NAME = re.compile(r"^[^\s=,]+$")
_RUN_ID = re.compile(r"^[A-Za-z0-9][A-Za-z0-9._-]*$")


def number(text, what):
    try:
        value = float(text)
    except ValueError:
        raise SweepInputError(f'{what}: "{text}" is not a number') from None
    if not math.isfinite(value):
        raise SweepInputError(f'{what}: "{text}" is not a finite number')
    return value


def _split_assignment(assignment, option):
    name, sep, rest = assignment.partition("=")
    name = name.strip()
    if not sep or not _NAME.match(name) or not rest.strip():
        raise SweepInputError(f'{option} "{assignment}": NAME=... expected')
    return name, rest.strip()


def parse_held(assignment):
    """`NAME=VALUE` -> (name, value)."""
    name, rest = _split_assignment(assignment, "--set")
    return name, number(rest, f'--set "{assignment}"')


def parse_grid(assignment):
    """`NAME=FROM:TO:COUNT` (COUNT evenly spaced values) or `NAME=V1,V2,...` -> (name, values)."""
    name, rest = _split_assignment(assignment, "--grid")
    what = f'--grid "{assignment}"'
    if ":" in rest:
        parts = rest.split(":")
        if len(parts) != 3:
            raise SweepInputError(f"{what}: FROM:TO:COUNT expected")
        start, stop = number(parts[0], what), number(parts[1], what)
        try:
            count = int(parts[2])
        except ValueError:
            count = 0
        if count < 1:
            raise SweepInputError(f'{what}: COUNT "{parts[2]}" must be a whole number of at least 1')
        if count == 1:
            return name, [start]
        return name, [start + (stop - start) * i / (count - 1) for i in range(count)]
    values = [number(v.strip(), what) for v in rest.split(",")]
    return name, values


# name -> (parameter names, check of the parameters, the rule checked, SciPy distribution)
DISTRIBUTIONS = {
    "uniform": (("LOW", "HIGH"), lambda a, b: a < b, "LOW < HIGH",
                lambda a, b: stats.uniform(loc=a, scale=b - a)),
    "normal": (("MEAN", "SD"), lambda a, b: b > 0, "SD > 0",
               lambda a, b: stats.norm(loc=a, scale=b)),
    "lognormal": (("MU", "SIGMA"), lambda a, b: b > 0, "SIGMA > 0",
                  lambda a, b: stats.lognorm(s=b, scale=math.exp(a))),
    "truncnormal": (("MEAN", "SD", "LOW", "HIGH"), lambda m, sd, lo, hi: sd > 0 and lo < hi,
                    "SD > 0 and LOW < HIGH",
                    lambda m, sd, lo, hi: stats.truncnorm((lo - m) / sd, (hi - m) / sd,
                                                          loc=m, scale=sd)),
    "loguniform": (("LOW", "HIGH"), lambda a, b: 0 < a < b, "0 < LOW < HIGH",
                   lambda a, b: stats.loguniform(a, b)),
}

_DISTRIBUTION = re.compile(r"^([a-z]+)\((.*)\)$")


def parse_sample(assignment):
    """`NAME=KIND(ARGS)`, KIND one of DISTRIBUTIONS -> (name, frozen SciPy distribution)."""
    name, rest = _split_assignment(assignment, "--sample")
    what = f'--sample "{assignment}"'
    match = _DISTRIBUTION.match(rest.replace(" ", ""))
    if not match or match.group(1) not in DISTRIBUTIONS:
        known = ", ".join(f"{d}({','.join(p[0])})" for d, p in DISTRIBUTIONS.items())
        raise SweepInputError(f"{what}: a distribution expected, one of {known}")
    kind = match.group(1)
    arg_names, check, rule, make = DISTRIBUTIONS[kind]
    args = match.group(2).split(",")
    if len(args) != len(arg_names):
        raise SweepInputError(f"{what}: {kind} takes {','.join(arg_names)}")
    values = [number(x, what) for x in args]
    if not check(*values):
        raise SweepInputError(f"{what}: {kind} needs {rule}")
    return name, make(*values)


def _check_names(names, option):
    seen = set()
    for name in names:
        if name in seen:
            raise SweepInputError(f"{option}: {name} is given twice")
        if name in ("run", "status", "error", "wall_seconds"):
            raise SweepInputError(f'{option}: "{name}" is a column of the summary, not a parameter')
        seen.add(name)


def run_ids(count):
    width = len(str(count))
    return [f"run{i:0{width}d}" for i in range(1, count + 1)]


def grid_runs(assignments):
    """The full grid: every combination, the first --grid varying slowest."""
    axes = [parse_grid(assignment) for assignment in assignments]
    names = [name for name, _ in axes]
    _check_names(names, "--grid")
    values = [list(combo) for combo in itertools.product(*(v for _, v in axes))]
    return RunTable(names, run_ids(len(values)), values)


def sampled_runs(assignments, count, seed, latin_hypercube):
    """`count` samples, seeded: a Latin hypercube (one sample in each of `count` equal
    strata of every name) or independent draws."""
    if count < 1:
        raise SweepInputError("the number of samples must be at least 1")
    dists = [parse_sample(assignment) for assignment in assignments]
    names = [name for name, _ in dists]
    _check_names(names, "--sample")
    rng = np.random.default_rng(seed)
    if latin_hypercube:
        unit = qmc.LatinHypercube(d=len(dists), seed=rng).random(count)
    else:
        unit = rng.random((count, len(dists)))
    # 0 has no inverse under the unbounded distributions.
    unit = np.maximum(unit, np.nextafter(0.0, 1.0))
    columns = [dist.ppf(unit[:, i]) for i, (_, dist) in enumerate(dists)]
    values = [[float(v) for v in row] for row in zip(*columns)]
    return RunTable(names, run_ids(count), values)


def crossed(grid, sample):
    """Every run of `grid` with every run of `sample`, the grid varying slowest."""
    _check_names(grid.names + sample.names, "--grid and --sample")
    values = [g + s for g in grid.values for s in sample.values]
    return RunTable(grid.names + sample.names, run_ids(len(values)), values)


def has_run_column(path):
    with open(path, newline="", encoding="utf-8") as f:
        header = next(csv.reader(f), [])
    return "run" in [cell.strip() for cell in header]


def write_runs(path, table):
    """The runs as kvfmu-run reads them: a run column, then one column per name."""
    with open(path, "w", newline="", encoding="utf-8") as f:
        writer = csv.writer(f, lineterminator="\n")
        writer.writerow(["run"] + list(table.names))
        for run_id, values in zip(table.run_ids, table.values):
            writer.writerow([run_id] + [format_number(v) for v in values])


def check_run_id(run_id, where):
    if not _RUN_ID.match(run_id) or run_id.lower() == "summary":
        raise SweepInputError(
            f'{where}: run id "{run_id}" must be letters, digits, ".", "_" or "-", '
            'start with a letter or digit, and not be "summary"')


def file_runs(path):
    """A runs file: CSV with a header row, an optional `run` column and one column per
    parameter or constant input, numbers in every cell."""
    try:
        with open(path, newline="", encoding="utf-8") as f:
            rows = [row for row in csv.reader(f) if any(cell.strip() for cell in row)]
    except OSError as e:
        raise SweepInputError(f"{path}: cannot read: {e.strerror}") from None
    if len(rows) < 2:
        raise SweepInputError(f"{path}: a header row and at least one run expected")
    header = [cell.strip() for cell in rows[0]]
    run_column = header.index("run") if "run" in header else None
    names = [name for i, name in enumerate(header) if i != run_column]
    for name in names:
        if not _NAME.match(name):
            raise SweepInputError(f'{path}:1: column name "{name}" is empty or holds a blank, "=" or ","')
    _check_names(names, path)
    ids, values = [], []
    generated = run_ids(len(rows) - 1)
    for line, row in enumerate(rows[1:], start=2):
        if len(row) != len(header):
            raise SweepInputError(f"{path}:{line}: {len(row)} cells, the header has {len(header)}")
        if run_column is None:
            ids.append(generated[line - 2])
        else:
            run_id = row[run_column].strip()
            check_run_id(run_id, f"{path}:{line}")
            if run_id in ids:
                raise SweepInputError(f'{path}:{line}: run id "{run_id}" repeats')
            ids.append(run_id)
        values.append([number(cell.strip(), f"{path}:{line}: column {header[i]}")
                       for i, cell in enumerate(row) if i != run_column])
    return RunTable(names, ids, values)
