"""Sweeps on a real dask-scheduler with dask-worker processes (each a worker under a nanny)
on 127.0.0.1, started here and stopped after. The workers cannot import the sweep's package:
the task's code reaches them with the task. A worker, or its kvfmu-run, is killed mid-run."""

import os
import signal
import socket
import subprocess
import threading
import time

import psutil
import pytest

from conftest import (STANDIN_RUNNER, make_standin_fmu, read_summary, run_tool, standin_log,
                      tool)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def without_times(rows):
    return [{k: v for k, v in row.items() if k != "wall_seconds"} for row in rows]


def gone(pid):
    try:
        return psutil.Process(pid).status() == psutil.STATUS_ZOMBIE
    except psutil.NoSuchProcess:
        return True


def workers_of(scheduler_file):
    from distributed import Client
    with Client(scheduler_file=scheduler_file, timeout=10) as client:
        return client.scheduler_info()["workers"]


@pytest.fixture(scope="module")
def cluster(tmp_path_factory):
    yield from started_cluster(tmp_path_factory.mktemp("cluster"), workers=2)


@pytest.fixture(scope="module")
def one_worker(tmp_path_factory):
    yield from started_cluster(tmp_path_factory.mktemp("one-worker"), workers=1)


def started_cluster(folder, workers):
    scheduler_file = str(folder / "scheduler.json")
    port = free_port()
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    log = open(folder / "cluster.log", "w")
    processes = [subprocess.Popen(
        ["/usr/bin/dask-scheduler", "--host", "127.0.0.1", "--port", str(port),
         "--dashboard-address", f"127.0.0.1:{free_port()}", "--scheduler-file", scheduler_file],
        cwd=folder, env=env, stdout=log, stderr=subprocess.STDOUT)]
    try:
        deadline = time.monotonic() + 60
        while not os.path.exists(scheduler_file) and time.monotonic() < deadline:
            time.sleep(0.1)
        for _ in range(workers):
            processes.append(subprocess.Popen(
                ["/usr/bin/dask-worker", f"tcp://127.0.0.1:{port}", "--nworkers", "1",
                 "--nthreads", "1", "--host", "127.0.0.1", "--dashboard-address",
                 f"127.0.0.1:{free_port()}"],
                cwd=folder, env=env, stdout=log, stderr=subprocess.STDOUT))
        while time.monotonic() < deadline and len(workers_of(scheduler_file)) < workers:
            time.sleep(0.2)
        assert len(workers_of(scheduler_file)) == workers
        yield {"address": f"tcp://127.0.0.1:{port}", "file": scheduler_file,
               "log": folder / "cluster.log"}
    finally:
        for process in reversed(processes):
            family = psutil.Process(process.pid).children(recursive=True)
            process.terminate()
            try:
                process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
            for leftover in psutil.wait_procs(family, timeout=10)[1]:
                leftover.kill()
        log.close()


def test_sweep_on_a_scheduler_address(tmp_path, cluster):
    log = tmp_path / "started.log"
    standin_fmu = make_standin_fmu(tmp_path / "Standin.fmu", log=log)
    out = tmp_path / "out"
    done = run_tool([standin_fmu, "--sample", "k=uniform(1,2)", "--sample", "c=normal(0,1)",
                     "--monte-carlo", "12", "--seed", "5", "--chunk-size", "2", "-o", out,
                     "--scheduler", cluster["address"], "--runner", STANDIN_RUNNER, "-q"],
                    )
    assert done.returncode == 0, done.stderr
    rows = read_summary(out / "summary.csv")
    assert [r["run"] for r in rows] == [f"run{i:02d}" for i in range(1, 13)]
    for row in rows:
        assert float(row["y"]) == float(row["k"]) + float(row["c"])
    assert sorted(standin_log(log)) == [r["run"] for r in rows]
    # The same seed gives the same runs on any cluster.
    again = run_tool([standin_fmu, "--sample", "k=uniform(1,2)", "--sample", "c=normal(0,1)",
                      "--monte-carlo", "12", "--seed", "5", "-o", tmp_path / "again",
                      "--scheduler-file", cluster["file"], "--runner", STANDIN_RUNNER, "-q",
                      "--no-plot"])
    assert again.returncode == 0, again.stderr
    assert without_times(read_summary(tmp_path / "again" / "summary.csv")) == without_times(rows)


def killed_mid_run(args, log, result, which):
    """Runs the sweep `args` while the third run runs kills the process `which(runner pid,
    worker pid)`; the sweep's completed process lands in result["done"]. Answers the run
    that was running, the runner's and the worker's pid."""
    thread = threading.Thread(target=lambda: result.update(done=run_tool(args)))
    thread.start()
    deadline = time.monotonic() + 60
    while len(standin_log(log)) < 3 and time.monotonic() < deadline:
        time.sleep(0.05)
    run_id, runner_pid, worker_pid = log.read_text().splitlines()[-1].split()
    os.kill(int(which(runner_pid, worker_pid)), signal.SIGKILL)
    thread.join(timeout=240)
    return run_id, runner_pid, worker_pid


def test_a_worker_killed_mid_chunk_loses_and_doubles_nothing(tmp_path, cluster):
    log = tmp_path / "started.log"
    standin_fmu = make_standin_fmu(tmp_path / "Standin.fmu", log=log, sleep=0.3)
    out = tmp_path / "out"
    run_id, runner_pid, worker_pid = killed_mid_run(
        [standin_fmu, "--grid", "k=1:24:24", "--chunk-size", "4", "-o", out, "--scheduler-file",
         cluster["file"], "--runner", STANDIN_RUNNER, "-q", "--no-plot"], log, result := {},
        lambda runner_pid, worker_pid: worker_pid)
    done = result["done"]
    assert done.returncode == 0, done.stderr
    rows = read_summary(out / "summary.csv")
    assert [r["run"] for r in rows] == [f"run{i:02d}" for i in range(1, 25)]
    assert all(r["status"] == "ok" and float(r["y"]) == float(r["k"]) for r in rows)
    started = standin_log(log)
    assert started.count(run_id) == 2  # once on the killed worker, again elsewhere
    assert gone(int(runner_pid))  # it ended with its worker
    # The nanny started a new worker.
    deadline = time.monotonic() + 30
    while len(workers_of(cluster["file"])) < 2 and time.monotonic() < deadline:
        time.sleep(0.2)
    assert len(workers_of(cluster["file"])) == 2


# What is killed while the third run runs (the stand-in logs "RUN PID PARENT-PID"): the
# only worker, so that the FMU it held is lost with it, or the worker's kvfmu-run.
KILLED = {"worker": 1, "runner": 0}


@pytest.mark.parametrize("killed", KILLED)
def test_a_kill_mid_run_on_the_only_worker(tmp_path, one_worker, killed):
    log = tmp_path / "started.log"
    standin_fmu = make_standin_fmu(tmp_path / "Standin.fmu", log=log, sleep=0.5)
    out = tmp_path / "out"
    killed_run, _, _ = killed_mid_run(
        [standin_fmu, "--grid", "k=1:8:8", "--chunk-size", "4", "-o", out, "--scheduler-file",
         one_worker["file"], "--runner", STANDIN_RUNNER, "--no-plot"], log, result := {},
        lambda *pids: pids[KILLED[killed]])
    done = result["done"]
    rows = read_summary(out / "summary.csv")
    assert [r["run"] for r in rows] == [f"run{i}" for i in range(1, 9)]
    failed = [(r["run"], r["error"]) for r in rows if r["status"] != "ok"]
    if killed == "worker":
        assert done.returncode == 0, done.stderr
        assert failed == []
        assert "1 worker lost; 1 chunk run again" in done.stdout
    else:
        assert done.returncode == 1, done.stderr
        assert failed == [(killed_run, "kvfmu-run was killed by SIGKILL")]
        assert "in 2 kvfmu-run processes" in done.stdout
    assert all(float(r["y"]) == float(r["k"]) for r in rows if r["status"] == "ok")


def test_ctrl_c_stops_the_runners_on_the_workers(tmp_path, cluster):
    log = tmp_path / "started.log"
    standin_fmu = make_standin_fmu(tmp_path / "Standin.fmu", log=log, sleep=0.3)
    sweep = subprocess.Popen(
        ["/usr/bin/python3", tool(), standin_fmu, "--grid", "k=1:40:40", "--chunk-size", "20",
         "-o", tmp_path / "out", "--scheduler-file", cluster["file"], "--runner", STANDIN_RUNNER,
         "-q", "--no-plot"],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, start_new_session=True)
    try:
        deadline = time.monotonic() + 60
        while len(standin_log(log)) < 4 and time.monotonic() < deadline:
            time.sleep(0.05)
        started = standin_log(log)
        os.killpg(sweep.pid, signal.SIGINT)
        _, stderr = sweep.communicate(timeout=60)
    finally:
        if sweep.poll() is None:
            sweep.kill()
    assert sweep.returncode == 130, stderr
    runners = {int(line.split()[1]) for line in log.read_text().splitlines()}
    # Each chunk would run for another few seconds; told to stop, its runner ends at once.
    deadline = time.monotonic() + 5
    while not all(gone(pid) for pid in runners) and time.monotonic() < deadline:
        time.sleep(0.1)
    assert all(gone(pid) for pid in runners)
    assert len(standin_log(log)) < 20
    # The runs that had ended are kept, though their chunks had not (two runners, each maybe
    # in the middle of a run).
    assert len(read_summary(tmp_path / "out" / "summary.csv")) >= len(started) - 2
    # A cancelled chunk ends quietly: no task error, with its arguments, in the workers' log.
    assert "Compute Failed" not in cluster["log"].read_text()
