"""What a Dask worker runs: one chunk of runs through `kvfmu-run --runs`.

The module is sent to the workers by value (it imports only the standard library and Dask),
so a worker needs kvfmu-run installed, not this package. Its arguments and its answer are
plain dicts, lists, strings and bytes for the same reason.

A chunk is one kvfmu-run process, so that one Java VM start serves all its runs. A process
that ends early (a run timeout, a model that crashes the VM) leaves its finished runs in its
summary; the run it was busy with is recorded as failed and the rest of the chunk goes on in
a new process. Everything is written in a folder of the task's own and read back whole, so
a chunk that Dask runs again on another worker repeats nothing of the first attempt.
"""

import csv
import ctypes
import hashlib
import os
import shutil
import signal
import subprocess
import tempfile
import threading
import time

# kvfmu-run's exit codes in batch mode: every run ended (some failed), and a run exceeded
# --run-timeout (it is in the summary as failed, the runs after it were not started).
BATCH_DONE_EXITS = {0, 41}
RUN_TIMEOUT_EXIT = 60
# Exit codes with which kvfmu-run refuses the whole batch before any run (command line, FMU,
# input file, runs file, the Java VM or the FMU's binary): retrying cannot help.
BATCH_REFUSED_EXITS = {2, 3, 10, 11, 12, 13, 14, 15, 16, 17, 20, 21, 22, 23, 24, 25, 30, 31}
SUMMARY_FIXED = ("run", "status", "error", "wall_seconds")

def run_chunk(chunk, fmu_bytes, input_bytes, settings):
    """Runs `chunk` = {"columns", "runs": [[run id, [value texts]]...], "trajectories": [ids]}.

    `settings`: {"runner", "fmu_hash", "input_hash", "args", "run_timeout", "cancel_event"}.
    Answers {"outputs": [names], "rows": [row dicts in chunk order], "trajectories":
    {run id: CSV bytes}, "processes": count}.
    """
    folder = _worker_folder()
    fmu_path = _stored(folder, settings["fmu_hash"], fmu_bytes, ".fmu")
    input_path = None
    if input_bytes is not None:
        input_path = _stored(folder, settings["input_hash"], input_bytes, ".csv")
    work = tempfile.mkdtemp(prefix="chunk-", dir=folder)
    try:
        return _run_all(chunk, fmu_path, input_path, settings, work, _cancel_check(settings))
    finally:
        shutil.rmtree(work, ignore_errors=True)


class ChunkCancelled(Exception):
    pass


def _worker_folder():
    try:
        from distributed import get_worker
        base = get_worker().local_directory
    except (ImportError, ValueError):
        base = tempfile.gettempdir()
    folder = os.path.join(base, "kvfmu-sweep")
    os.makedirs(folder, exist_ok=True)
    return folder


def _stored(folder, content_hash, data, suffix):
    """The file of `data` in this worker's folder, written once per content hash."""
    path = os.path.join(folder, content_hash + suffix)
    if not os.path.exists(path):
        if hashlib.sha256(data).hexdigest() != content_hash:
            raise RuntimeError("the bytes that reached the worker do not match their hash")
        # Tasks on other threads may store the same bytes at once: each writes a file of its
        # own and moves it into place whole.
        partial = f"{path}.{os.getpid()}.{threading.get_ident()}.part"
        with open(partial, "wb") as f:
            f.write(data)
        os.replace(partial, path)
    return path


def _cancel_check(settings):
    """A function that tells whether the client cancelled the sweep (checked now and then)."""
    name = settings.get("cancel_event")
    if not name:
        return lambda: False
    try:
        from distributed import Event
        event = Event(name)
    except Exception:  # not on a worker: nothing can cancel
        return lambda: False
    last = [0.0]

    def cancelled():
        now = time.monotonic()
        if now - last[0] < 2.0:
            return False
        last[0] = now
        try:
            return event.is_set()
        except Exception:
            return False
    return cancelled


def _run_all(chunk, fmu_path, input_path, settings, work, cancelled):
    columns = chunk["columns"]
    values = {run_id: cells for run_id, cells in chunk["runs"]}
    remaining = [run_id for run_id, _ in chunk["runs"]]
    wanted = set(chunk.get("trajectories", ()))
    rows, trajectories, outputs = {}, {}, None
    processes = 0
    while remaining:
        processes += 1
        attempt = os.path.join(work, str(processes))
        os.mkdir(attempt)
        started = time.monotonic()
        code, stderr_text = _run_process(settings, fmu_path, input_path, columns,
                                         [(r, values[r]) for r in remaining], attempt, cancelled)
        elapsed = time.monotonic() - started
        header, done = _read_summary(os.path.join(attempt, "out", "summary.csv"))
        if header:
            outputs = header[header.index("wall_seconds") + 1:]
        finished = [r for r in remaining if r in done]
        for run_id in finished:
            # The values as sent, whatever form kvfmu-run wrote them in.
            rows[run_id] = dict(done[run_id], **dict(zip(columns, values[run_id])))
            if run_id in wanted and done[run_id].get("status") == "ok":
                path = os.path.join(attempt, "out", run_id + ".csv")
                if os.path.exists(path):
                    with open(path, "rb") as f:
                        trajectories[run_id] = f.read()
        remaining = [r for r in remaining if r not in done]
        lost, remaining = _lost_runs(code, remaining, finished, done)
        reason = _failure_text(code, stderr_text)
        spent = max(0.0, elapsed - sum(_seconds(rows[r]) for r in finished))
        for run_id in lost:
            rows[run_id] = _failed_row(run_id, columns, values[run_id], reason, spent)
            spent = 0.0
    return {"outputs": outputs, "rows": [rows[r] for r, _ in chunk["runs"]],
            "trajectories": trajectories, "processes": processes}


def _lost_runs(code, remaining, finished, done):
    """The runs that the ended process takes with it, and those that go on in a new one."""
    if not remaining:
        return [], []
    if code in BATCH_DONE_EXITS:
        return remaining, []  # cannot happen: every run has a row
    if code == RUN_TIMEOUT_EXIT and finished:
        return [], remaining
    if not finished and code in BATCH_REFUSED_EXITS:
        return remaining, []
    if code > 0 and finished and done[finished[-1]]["status"] == "failed":
        # kvfmu-run recorded the run that ended it; the next one had not started.
        return [], remaining
    # The process died during the first run it has no row for.
    return remaining[:1], remaining[1:]


def _run_process(settings, fmu_path, input_path, columns, runs, attempt, cancelled):
    runs_path = os.path.join(attempt, "runs.csv")
    with open(runs_path, "w", newline="", encoding="utf-8") as f:
        writer = csv.writer(f, lineterminator="\n")
        writer.writerow(["run"] + list(columns))
        for run_id, cells in runs:
            writer.writerow([run_id] + list(cells))
    out = os.path.join(attempt, "out")
    command = [_runner(settings["runner"]), fmu_path, "--runs", runs_path, "--output-dir", out, "--quiet"]
    if input_path:
        command += ["--input", input_path]
    if settings.get("run_timeout"):
        command += ["--run-timeout", str(settings["run_timeout"])]
    command += list(settings.get("args", ()))
    stderr_path = os.path.join(attempt, "stderr.txt")
    with open(stderr_path, "wb") as stderr:
        # A session of its own keeps a Ctrl-C at the terminal away from it (the client decides);
        # the parent-death signal ends it with the worker.
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=stderr, cwd=attempt, start_new_session=True,
                                   preexec_fn=_end_with_parent)
        try:
            code = _wait(process, cancelled)
        except BaseException:
            _stop(process)
            raise
    with open(stderr_path, "rb") as f:
        return code, f.read().decode("utf-8", "replace")


def _runner(path):
    """The client's kvfmu-run where this worker has it there, else the one on its PATH."""
    if os.path.isfile(path):
        return path
    return shutil.which("kvfmu-run") or path


def _wait(process, cancelled):
    while True:
        try:
            return process.wait(timeout=0.5)
        except subprocess.TimeoutExpired:
            if cancelled():
                raise ChunkCancelled("the sweep was cancelled") from None


def _stop(process):
    """SIGTERM lets kvfmu-run clean up; SIGKILL if it does not end soon."""
    if process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


_PR_SET_PDEATHSIG = 1


def _end_with_parent():
    # Runs in the child between fork and exec: the worker thread that started it waits for it,
    # so the signal comes only when the worker process itself ends.
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(_PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)


def _read_summary(path):
    """The header and the complete rows (by run id) of kvfmu-run's summary; a last line cut
    short by the end of the process is left out."""
    try:
        with open(path, newline="", encoding="utf-8") as f:
            text = f.read()
    except OSError:
        return None, {}
    if not text.endswith("\n"):
        text = text[:text.rfind("\n") + 1]
    lines = list(csv.reader(text.splitlines()))
    if not lines or any(c not in lines[0] for c in SUMMARY_FIXED):
        return None, {}
    header = lines[0]
    done = {}
    for cells in lines[1:]:
        if len(cells) == len(header):
            row = dict(zip(header, cells))
            done.setdefault(row["run"], row)
    return header, done


def _failure_text(code, stderr_text):
    lines = [line.strip() for line in stderr_text.splitlines() if line.strip()]
    errors = [line for line in lines if "error:" in line]
    detail = (errors or lines or [""])[-1]
    if code in BATCH_DONE_EXITS:
        return "kvfmu-run ended without a result for this run"
    if code < 0:
        try:
            name = signal.Signals(-code).name
        except ValueError:
            name = f"signal {-code}"
        what = f"kvfmu-run was killed by {name}"
    else:
        what = f"kvfmu-run ended with exit code {code}"
    return f"{what}: {detail}" if detail else what


def _failed_row(run_id, columns, cells, reason, seconds):
    row = {"run": run_id, "status": "failed", "error": reason,
           "wall_seconds": f"{seconds:.3f}"}
    row.update(zip(columns, cells))
    return row


def _seconds(row):
    try:
        return float(row.get("wall_seconds", 0))
    except ValueError:
        return 0.0
