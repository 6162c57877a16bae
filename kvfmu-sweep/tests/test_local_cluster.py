"""Sweeps on a LocalCluster of two workers, with the stand-in runner: results, failures,
trajectories, the plot, refused input, and Ctrl-C."""

import os
import signal
import socket
import subprocess
import time

import psutil
import pytest

from conftest import PYTHON, STANDIN_RUNNER, read_summary, run_tool, standin_log, tool

LOCAL = ["--workers", "2", "--runner", STANDIN_RUNNER]


def test_sweep_on_two_local_workers(tmp_path, standin_fmu):
    runs = tmp_path / "runs.csv"
    lines = ["run,k,fail"] + [f"r{i:02d},{i},{1 if i % 5 == 0 else 0}" for i in range(1, 21)]
    runs.write_text("\n".join(lines) + "\n")
    log = tmp_path / "started.log"
    out = tmp_path / "out"
    done = run_tool([standin_fmu, "--runs", runs, "-o", out, "--chunk-size", "3",
                     "--keep-trajectories", "--plot", out / "plot.svg"] + LOCAL,
                    env={"KVFMU_STANDIN_LOG": str(log)})
    assert done.returncode == 1, done.stderr  # some runs failed
    rows = read_summary(out / "summary.csv")
    assert [r["run"] for r in rows] == [f"r{i:02d}" for i in range(1, 21)]
    assert list(rows[0]) == ["run", "k", "fail", "status", "error", "wall_seconds", "y", "z"]
    for i, row in enumerate(rows, start=1):
        if i % 5 == 0:
            assert (row["status"], row["y"]) == ("failed", "")
            assert "the model refused" in row["error"]
            assert not (out / "runs" / row["run"]).exists()
        else:
            assert (row["status"], row["error"]) == ("ok", "")
            assert float(row["y"]) == i and float(row["z"]) == 2 * i
            trajectory = (out / "runs" / row["run"] / "trajectory.csv").read_text()
            assert trajectory.splitlines()[-1] == f"1.0,{float(i)!r},{2.0 * i!r}"
    # Seven chunks over two workers: both did some.
    started = standin_log(log)
    assert sorted(started) == sorted(r["run"] for r in rows)
    parents = {line.split()[2] for line in log.read_text().splitlines()}
    assert len(parents) == 2
    assert (out / "plot.svg").read_text().lstrip().startswith("<?xml")
    assert "16 ok, 4 failed" in done.stdout and str(out / "plot.svg") in done.stdout


def test_grid_sweep_all_ok_writes_the_default_plot(tmp_path, standin_fmu):
    out = tmp_path / "out"
    # Dask's usual dashboard port taken (as by another sweep): a local cluster wants none.
    with socket.socket() as taken:
        try:
            taken.bind(("127.0.0.1", 8787))
            taken.listen()
        except OSError:
            pass  # already taken
        # A runner given relative to the current folder, which the workers do not share.
        done = run_tool([standin_fmu, "--grid", "k=1:3:3", "--grid", "u=0,0.5", "-o", out,
                         "--plot-group", "u", "--plot-output", "z", "-q", "--workers", "2",
                         "--runner", os.path.relpath(STANDIN_RUNNER, tmp_path)], cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert done.stdout == "" and done.stderr == ""
    rows = read_summary(out / "summary.csv")
    assert [(r["k"], r["u"], r["y"]) for r in rows] == [
        ("1", "0", "1.0"), ("1", "0.5", "1.5"), ("2", "0", "2.0"),
        ("2", "0.5", "2.5"), ("3", "0", "3.0"), ("3", "0.5", "3.5")]
    assert (out / "sweep.png").read_bytes().startswith(b"\x89PNG")
    assert not (out / "runs").exists()


@pytest.mark.parametrize("args, message", [
    (["--grid", "m=1,2"], "m: no such input or parameter of Standin"),
    (["--grid", "k=1:2"], "FROM:TO:COUNT expected"),
    (["--grid", "k=1", "--runs", "x.csv"], "--grid, --sample (or both) or --runs"),
    (["--sample", "k=uniform(0,1)"], "--lhs N or --monte-carlo N"),
    (["--grid", "k=1", "--lhs", "4"], "--lhs and --monte-carlo go with --sample"),
    (["--grid", "k=1", "--plot", "p.pdf"], "must end in .png or .svg"),
    (["--grid", "k=1", "--plot-output", "q"], "--plot-output q: no such result"),
    (["--grid", "k=1", "--plot-group", "c"], "--plot-group c: not a swept name"),
    (["--grid", "k=1", "--metric", "max:q"], '--metric "max:q": q is not an output'),
    (["--grid", "k=1", "--metric", "at:soon:y"], 'T "soon" is not a finite number'),
    (["--grid", "k=1", "--set", "k=2"], '--set "k=2": k is given twice'),
    (["--grid", "k=1", "--set", "m=2"], "m: no such input or parameter"),
    (["--grid", "k=1", "--sample", "k=uniform(0,1)", "--lhs", "2"], "k is given twice"),
    (["--grid", "k=1", "--input", "missing.csv"], "missing.csv: cannot read"),
    (["--grid", "k=1", "--scheduler", "tcp://127.0.0.1:1", "--scheduler-file", "f.json"],
     "--scheduler or --scheduler-file, not both"),
    (["--grid", "k=1", "--scheduler", "tcp://127.0.0.1:1"], "--workers sets up a local cluster"),
])
def test_bad_input_fails_before_any_run(tmp_path, standin_fmu, args, message):
    log = tmp_path / "started.log"
    done = run_tool([standin_fmu, "-o", tmp_path / "out"] + args + LOCAL,
                    env={"KVFMU_STANDIN_LOG": str(log)}, cwd=tmp_path)
    assert done.returncode == 2
    assert message in done.stderr
    assert not (tmp_path / "out" / "summary.csv").exists()
    assert standin_log(log) == []


def test_a_sweep_whose_runs_all_failed_has_its_summary_and_says_why_it_has_no_plot(
        tmp_path, standin_fmu):
    out = tmp_path / "out"
    done = run_tool([standin_fmu, "--grid", "k=1,2", "--grid", "fail=1", "-o", out,
                     "--plot-group", "k"] + LOCAL)
    assert done.returncode == 1
    assert [r["status"] for r in read_summary(out / "summary.csv")] == ["failed", "failed"]
    assert not (out / "sweep.png").exists()
    assert "no plot: no run ended ok" in done.stdout


def test_an_unreachable_scheduler(tmp_path, standin_fmu):
    import socket
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]  # nothing listens there
    done = run_tool([standin_fmu, "--grid", "k=1", "-o", tmp_path / "out", "--scheduler",
                     f"tcp://127.0.0.1:{port}", "--runner", STANDIN_RUNNER],
                    env={"DASK_DISTRIBUTED__COMM__TIMEOUTS__CONNECT": "2s"})
    assert done.returncode == 3
    assert f"cannot reach tcp://127.0.0.1:{port}" in done.stderr


def test_not_an_fmu(tmp_path):
    bad = tmp_path / "bad.fmu"
    bad.write_bytes(b"not a zip")
    done = run_tool([bad, "--grid", "k=1", "-o", tmp_path / "out"] + LOCAL)
    assert done.returncode == 2
    assert "not an FMU with a modelDescription.xml" in done.stderr


@pytest.mark.parametrize("signum, to_group", [(signal.SIGINT, True), (signal.SIGTERM, False)],
                         ids=["ctrl-c", "sigterm"])
def test_an_interrupt_keeps_what_finished_and_leaves_no_process(tmp_path, standin_fmu, signum,
                                                               to_group):
    log = tmp_path / "started.log"
    out = tmp_path / "out"
    env = dict(os.environ, KVFMU_STANDIN_LOG=str(log), KVFMU_STANDIN_SLEEP="0.3")
    # A session of its own, so that the interrupt reaches its whole process group as a
    # Ctrl-C at a terminal does; chunks of ten runs, so that it comes in the middle of them.
    sweep = subprocess.Popen([PYTHON, tool(), standin_fmu, "--grid", "k=1:40:40", "-o", out,
                              "--chunk-size", "10", "-q"] + LOCAL, env=env,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                             start_new_session=True)
    try:
        deadline = time.monotonic() + 60
        while len(standin_log(log)) < 6 and time.monotonic() < deadline:
            time.sleep(0.1)
        started = standin_log(log)
        assert len(started) >= 6
        family = psutil.Process(sweep.pid).children(recursive=True)
        assert len(family) >= 4  # two workers, their runners
        if to_group:
            os.killpg(sweep.pid, signum)
        else:
            sweep.send_signal(signum)
        _, stderr = sweep.communicate(timeout=60)
    finally:
        if sweep.poll() is None:
            sweep.kill()
    assert sweep.returncode == 130, stderr
    # One line, nothing from the workers.
    summary = out / "summary.csv"
    assert stderr.strip().splitlines() == [
        f"kvfmu-sweep: interrupted; the runs that finished are in {summary}"]
    # Every run that had ended is kept (each of the two runners may have been in the middle
    # of its last one), once, though no chunk had ended; none that was cut short.
    rows = read_summary(summary)
    assert len(started) - 2 <= len(rows) < 40
    assert len({r["run"] for r in rows}) == len(rows)
    assert {r["run"] for r in rows} <= set(standin_log(log))
    assert all(r["status"] == "ok" for r in rows)
    _, alive = psutil.wait_procs(family, timeout=15)
    assert alive == []

