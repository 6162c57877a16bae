"""The runs a sweep makes: grids, seeded samples and runs files, and what they refuse."""

import math
from statistics import NormalDist, mean, stdev

import pytest

from kvfmu_sweep import sampling
from kvfmu_sweep.sampling import SweepInputError


@pytest.mark.parametrize("assignment, name, values", [
    ("k=1:10:4", "k", [1.0, 4.0, 7.0, 10.0]),
    ("k=2:2:1", "k", [2.0]),
    ("k=10:0:3", "k", [10.0, 5.0, 0.0]),
    ("c=0.1,0.2, 0.4", "c", [0.1, 0.2, 0.4]),
    ("c=-1e-3", "c", [-0.001]),
    (" x0 = 0.5,1", "x0", [0.5, 1.0]),
])
def test_grid_values(assignment, name, values):
    assert sampling.parse_grid(assignment) == (name, values)


@pytest.mark.parametrize("assignment, message", [
    ("k", "NAME=... expected"),
    ("=1,2", "NAME=... expected"),
    ("k=", "NAME=... expected"),
    ("k=1:2", "FROM:TO:COUNT expected"),
    ("k=1:2:0", "COUNT \"0\" must be a whole number"),
    ("k=1:2:x", "COUNT \"x\" must be a whole number"),
    ("k=1,abc", "\"abc\" is not a number"),
    ("k=1,nan", "not a finite number"),
    ("k=1:inf:3", "not a finite number"),
])
def test_grid_refused(assignment, message):
    with pytest.raises(SweepInputError, match=message):
        sampling.parse_grid(assignment)


def test_full_grid_first_name_varies_slowest():
    table = sampling.grid_runs(["k=1,2", "c=0.1,0.2,0.3"])
    assert table.names == ["k", "c"]
    assert table.values == [[1, 0.1], [1, 0.2], [1, 0.3], [2, 0.1], [2, 0.2], [2, 0.3]]
    assert table.run_ids == ["run1", "run2", "run3", "run4", "run5", "run6"]


def test_run_ids_are_padded_to_sort_in_order():
    ids = sampling.run_ids(120)
    assert ids[0] == "run001" and ids[-1] == "run120"
    assert ids == sorted(ids)


@pytest.mark.parametrize("assignments, message", [
    (["k=1,2", "k=3"], "k is given twice"),
    (["status=1,2"], "is a column of the summary"),
    (["run=1"], "is a column of the summary"),
])
def test_grid_names_refused(assignments, message):
    with pytest.raises(SweepInputError, match=message):
        sampling.grid_runs(assignments)


SAMPLES = ["k=uniform(1,10)", "c=normal(0.2,0.05)", "m=lognormal(0,0.25)"]


@pytest.mark.parametrize("latin_hypercube", [True, False])
def test_same_seed_same_runs_other_seed_other_runs(latin_hypercube):
    first = sampling.sampled_runs(SAMPLES, 50, seed=7, latin_hypercube=latin_hypercube)
    again = sampling.sampled_runs(SAMPLES, 50, seed=7, latin_hypercube=latin_hypercube)
    other = sampling.sampled_runs(SAMPLES, 50, seed=8, latin_hypercube=latin_hypercube)
    assert first.values == again.values and first.run_ids == again.run_ids
    assert first.values != other.values
    assert first.names == ["k", "c", "m"]


def test_latin_hypercube_puts_one_sample_in_each_stratum():
    count = 40
    table = sampling.sampled_runs(["k=uniform(1,10)", "c=normal(0.2,0.05)"], count, seed=3,
                                  latin_hypercube=True)
    k = [row[0] for row in table.values]
    assert sorted(int((v - 1) / 9 * count) for v in k) == list(range(count))
    normal = NormalDist(0.2, 0.05)
    c = [row[1] for row in table.values]
    assert sorted(int(normal.cdf(v) * count) for v in c) == list(range(count))


@pytest.mark.parametrize("assignment, check", [
    ("x=uniform(2,4)", lambda v: all(2 <= x < 4 for x in v) and abs(mean(v) - 3) < 0.1),
    ("x=normal(5,2)", lambda v: abs(mean(v) - 5) < 0.2 and abs(stdev(v) - 2) < 0.2),
    ("x=lognormal(0,0.5)", lambda v: all(x > 0 for x in v)
     and abs(mean(math.log(x) for x in v)) < 0.05 and abs(stdev([math.log(x) for x in v]) - 0.5) < 0.05),
    ("x=truncnormal(100,50,80,120)", lambda v: all(80 <= x <= 120 for x in v)
     and abs(mean(v) - 100) < 1 and max(v) > 119 and min(v) < 81),
    ("x=loguniform(0.01,100)", lambda v: all(0.01 <= x <= 100 for x in v)
     and abs(mean(math.log10(x) for x in v)) < 0.1),
])
def test_distributions(assignment, check):
    table = sampling.sampled_runs([assignment], 2000, seed=11, latin_hypercube=False)
    assert check([row[0] for row in table.values])


@pytest.mark.parametrize("assignment, message", [
    ("x=gamma(1,2)", "a distribution expected, one of uniform"),
    ("x=uniform(1)", "uniform takes LOW,HIGH"),
    ("x=uniform(3,1)", "uniform needs LOW < HIGH"),
    ("x=normal(0,0)", "normal needs SD > 0"),
    ("x=lognormal(0,-1)", "lognormal needs SIGMA > 0"),
    ("x=normal(a,1)", "\"a\" is not a number"),
    ("x=uniform(0,1", "a distribution expected"),
    ("x=truncnormal(0,1,2,1)", "truncnormal needs SD > 0 and LOW < HIGH"),
    ("x=loguniform(0,1)", "loguniform needs 0 < LOW < HIGH"),
])
def test_samples_refused(assignment, message):
    with pytest.raises(SweepInputError, match=message):
        sampling.sampled_runs([assignment], 3, seed=1, latin_hypercube=True)


def test_runs_file_with_and_without_run_ids(tmp_path):
    named = tmp_path / "named.csv"
    named.write_text("k,run,c\n1,first,0.5\n2.5,second-2,1e-3\n\n")
    table = sampling.file_runs(named)
    assert table.names == ["k", "c"]
    assert table.run_ids == ["first", "second-2"]
    assert table.values == [[1.0, 0.5], [2.5, 0.001]]
    plain = tmp_path / "plain.csv"
    plain.write_text("k\n1\n2\n")
    assert sampling.file_runs(plain).run_ids == ["run1", "run2"]


@pytest.mark.parametrize("content, message", [
    ("", "a header row and at least one run expected"),
    ("run,k\n", "a header row and at least one run expected"),
    ("run,k\na,1\na,2\n", ":3: run id \"a\" repeats"),
    ("run,k\n../x,1\n", ":2: run id \"../x\" must be"),
    ("run,k\nsummary,1\n", "not be \"summary\""),
    ("run,k\n,1\n", ":2: run id \"\" must be"),
    ("run,k\na,1,2\n", ":2: 3 cells, the header has 2"),
    ("run,k\na,abc\n", ":2: column k: \"abc\" is not a number"),
    ("run,k,k\na,1,2\n", "k is given twice"),
    ("run,k x\na,1\n", "column name \"k x\""),
])
def test_runs_file_refused(tmp_path, content, message):
    path = tmp_path / "runs.csv"
    path.write_text(content)
    with pytest.raises(SweepInputError, match=message):
        sampling.file_runs(path)


@pytest.mark.parametrize("value, text", [
    (0.1, "0.1"), (1 / 3, "0.3333333333333333"), (2.0, "2"), (-0.0, "-0"), (1e-300, "1e-300"),
    (123456789.123, "123456789.123"), (-2.5e17, "-2.5e+17")])
def test_numbers_read_back_exactly(value, text):
    assert sampling.format_number(value) == text
    assert float(text) == value
