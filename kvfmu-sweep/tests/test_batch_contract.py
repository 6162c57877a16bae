"""kvfmu-run's batch mode as the sweep uses it, with the built kvfmu-run and the built-in
mass-spring-damper FMU: the summary's columns and rows, per-run files, failed runs, the run
timeout's exit code, a batch refused before any run, the exit codes as its --help lists them,
a runner that ends with the process that started it; then sweeps with the real runner, and
bad input that it refuses before any cluster starts."""

import csv
import os
import re
import subprocess
import time

import pytest

from conftest import read_summary, run_tool
from kvfmu_sweep import exit_codes

RUNNER = os.environ.get("KVFMU_RUN")
FMUS = os.environ.get("KVFMU_FMUS")
pytestmark = pytest.mark.skipif(not RUNNER or not FMUS, reason="needs the build (run through CTest)")


def fmu():
    return os.path.join(FMUS, "MassSpringDamper.fmu")


def batch(tmp_path, runs, *options):
    runs_file = tmp_path / "runs.csv"
    runs_file.write_text(runs)
    out = tmp_path / "out"
    done = subprocess.run([RUNNER, fmu(), "--runs", runs_file, "--output-dir", out, "--quiet",
                           *options], capture_output=True, text=True, timeout=120)
    return done, out


def test_summary_and_run_files(tmp_path):
    done, out = batch(tmp_path, "run,c,F\nsoft,0.1,0\nbroken,-1,0\nstiff,0.5,2\n", "--stop", "1")
    assert done.returncode in exit_codes.BATCH_DONE and done.returncode != 0, done.stderr
    rows = read_summary(out / "summary.csv")
    assert list(rows[0]) == ["run", "c", "F", "status", "error", "wall_seconds", "x", "v"]
    assert [(r["run"], r["status"]) for r in rows] == [
        ("soft", "ok"), ("broken", "failed"), ("stiff", "ok")]
    assert "c" in rows[1]["error"] and rows[1]["x"] == ""
    for row in rows:
        float(row["wall_seconds"])
        if row["status"] == "ok":
            assert row["error"] == ""
            with open(out / f"{row['run']}.csv") as f:
                last = list(csv.reader(f))[-1]
            assert [float(last[0]), last[1], last[2]] == [1.0, row["x"], row["v"]]


def test_a_run_timeout_ends_the_process_after_recording_the_run(tmp_path):
    done, out = batch(tmp_path, "run,internalStepSize\nquick,0.001\nslow,1e-7\nnext,0.001\n",
                      "--stop", "1", "--run-timeout", "1")
    assert done.returncode == exit_codes.RUN_TIMED_OUT, done.stderr
    rows = read_summary(out / "summary.csv")
    assert [(r["run"], r["status"]) for r in rows] == [("quick", "ok"), ("slow", "failed")]
    assert "--run-timeout" in rows[1]["error"]


@pytest.mark.parametrize("vm_option", ["-XX:+UseG1GC", "-XX:TieredStopAtLevel=4"])
def test_vm_options_replace_the_batch_defaults(tmp_path, vm_option):
    done, out = batch(tmp_path, "run,c\na,0.2\n", "--stop", "0.1", f"--vm-option={vm_option}")
    assert done.returncode == 0, done.stderr
    assert [r["status"] for r in read_summary(out / "summary.csv")] == ["ok"]


def test_a_batch_refused_before_any_run(tmp_path):
    done, out = batch(tmp_path, "run,nosuchname\na,1\n")
    assert done.returncode in exit_codes.BATCH_REFUSED
    assert not (out / "summary.csv").exists() or read_summary(out / "summary.csv") == []
    assert "nosuchname" in done.stderr


def test_a_sweep_with_the_real_runner_matches_its_batch(tmp_path):
    runs = "run,c,k\n" + "".join(f"r{i},{0.1 * i!r},{1.0 + i}\n" for i in range(1, 7))
    done, out = batch(tmp_path, runs, "--stop", "2")
    assert done.returncode == 0, done.stderr
    swept = run_tool([fmu(), "--runs", tmp_path / "runs.csv", "--stop", "2", "--workers", "2",
                      "--chunk-size", "2", "--runner", RUNNER, "-o", tmp_path / "sweep",
                      "--plot-group", "k", "-q"])
    assert swept.returncode == 0, swept.stderr
    expected = [{k: v for k, v in r.items() if k not in ("wall_seconds", "c", "k")}
                for r in read_summary(out / "summary.csv")]
    got = [{k: v for k, v in r.items() if k not in ("wall_seconds", "c", "k")}
           for r in read_summary(tmp_path / "sweep" / "summary.csv")]
    assert got == expected
    assert (tmp_path / "sweep" / "sweep.png").exists()


def test_the_exit_codes_are_those_of_kvfmu_run_help():
    help_text = subprocess.run([RUNNER, "--help"], capture_output=True, text=True).stdout
    table = help_text.split("Exit codes:")[1]
    listed = {int(m.group(1)): m.group(2).strip()
              for m in re.finditer(r"^\s*(\d+)\s+(.+)$", table, re.MULTILINE)}
    assert listed == exit_codes.MEANINGS


def write(path, text):
    path.write_text(text)
    return path


# Refused on the client, named by the user's file and line: (options, text in the message).
BAD_INPUT = {
    "start after stop": (lambda d: ["--grid", "c=0.1", "--start", "2", "--stop", "1"],
                         "the stop time 1 is before the start time 2"),
    "negative step": (lambda d: ["--grid", "c=0.1", "--step", "-1"], "step size must be positive"),
    "a cell not a number": (
        lambda d: ["--grid", "c=0.1", "--input", write(d / "in.csv", "time,F\n0,1\n1,abc\n")],
        "in.csv:3"),
    "an unknown input column": (
        lambda d: ["--grid", "c=0.1", "--input", write(d / "in.csv", "time,nosuch\n0,1\n")],
        "nosuch"),
    "a swept input also in the input file": (
        lambda d: ["--grid", "F=1,2", "--input", write(d / "in.csv", "time,F\n0,1\n")], "F"),
    "run ids that differ only in case": (
        lambda d: ["--runs", write(d / "runs.csv", "run,c\nfirst,0.1\nFirst,0.2\n")],
        "runs.csv:3"),
}


@pytest.mark.parametrize("case", BAD_INPUT)
def test_bad_input_is_refused_before_any_cluster_starts(tmp_path, case):
    options, message = BAD_INPUT[case]
    done = run_tool([fmu(), "-o", tmp_path / "out", "--runner", RUNNER, "--workers", "1"]
                    + options(tmp_path), timeout=120)
    assert done.returncode == 2, done.stderr
    assert message in done.stderr and "kvfmu-sweep: error:" in done.stderr
    assert not (tmp_path / "out").exists()


def test_a_runner_ends_with_the_process_that_started_it(tmp_path):
    """--end-with-parent: the run in progress is stopped and recorded, and kvfmu-run ends."""
    out = tmp_path / "out"
    parent = subprocess.run(
        ["/usr/bin/python3", "-c", "import subprocess, sys, time\n"
         "p = subprocess.Popen(sys.argv[1:], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)\n"
         "p.stdin.write(b'run,c\\nlong,0.2\\n'); p.stdin.flush()\n"
         "print(p.pid, flush=True); time.sleep(3)",
         RUNNER, fmu(), "--quiet", "--stop", "1e6", "--end-with-parent", "--runs", "-",
         "--output-dir", out], capture_output=True, text=True, timeout=60)
    runner = int(parent.stdout.split()[0])
    deadline = time.monotonic() + 20
    while _alive(runner) and time.monotonic() < deadline:
        time.sleep(0.1)
    assert not _alive(runner)
    [row] = read_summary(out / "summary.csv")
    assert (row["run"], row["status"]) == ("long", "failed")
    assert "interrupted" in row["error"], row["error"]


def _alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().split(")")[-1].split()[0] != "Z"
    except FileNotFoundError:
        return False
