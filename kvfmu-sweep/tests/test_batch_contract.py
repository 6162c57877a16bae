"""kvfmu-run's batch mode as the sweep uses it, with the built kvfmu-run and the built-in
mass-spring-damper FMU: the summary's columns and rows, per-run files, failed runs, the run
timeout's exit code, a batch refused before any run; then a sweep with the real runner."""

import csv
import os
import subprocess

import pytest

from conftest import read_summary, run_tool
from kvfmu_sweep import chunk_task

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
    assert done.returncode in chunk_task.BATCH_DONE_EXITS and done.returncode != 0, done.stderr
    rows = read_summary(out / "summary.csv")
    assert list(rows[0]) == ["run", "c", "F", *chunk_task.SUMMARY_FIXED[1:], "x", "v"]
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
    header, done_rows = chunk_task._read_summary(str(out / "summary.csv"))
    assert list(done_rows) == ["soft", "broken", "stiff"]


def test_a_run_timeout_ends_the_process_after_recording_the_run(tmp_path):
    done, out = batch(tmp_path, "run,internalStepSize\nquick,0.001\nslow,1e-8\nnext,0.001\n",
                      "--stop", "1", "--run-timeout", "1")
    assert done.returncode == chunk_task.RUN_TIMEOUT_EXIT, done.stderr
    rows = read_summary(out / "summary.csv")
    assert [(r["run"], r["status"]) for r in rows] == [("quick", "ok"), ("slow", "failed")]
    assert "--run-timeout" in rows[1]["error"]


def test_a_batch_refused_before_any_run(tmp_path):
    done, out = batch(tmp_path, "run,nosuchname\na,1\n")
    assert done.returncode in chunk_task.BATCH_REFUSED_EXITS
    header, rows = chunk_task._read_summary(str(out / "summary.csv"))
    assert rows == {}
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
