"""What a Dask worker runs: one chunk of runs, fed to the worker's kvfmu-run process.

The module is sent to the workers by value (with the few modules of this package it uses,
which import only the standard library, NumPy and Dask), so a worker needs kvfmu-run
installed, not this package. Its arguments and its answer are plain dicts, lists, strings
and bytes for the same reason.

Each worker keeps one `kvfmu-run --runs -` process (in a worker plugin) for the whole sweep,
so that one Java VM start serves all its runs. A process that ends early (a run timeout, a
model that crashes the VM) has answered its finished runs; the run it was busy with is
recorded as failed and the rest of the chunk goes on in a new process. A chunk that Dask
runs again on another worker repeats nothing of the first attempt but its runs.
"""

import hashlib
import os
import tempfile
import threading
import time

from . import exit_codes, metrics
from .runner_process import ChunkCancelled, RunnerPool, failure_text

try:
    from distributed import WorkerPlugin
except ImportError:  # the task needs Dask only on a worker
    WorkerPlugin = object


class RunnerPlugin(WorkerPlugin):
    """Owns a worker's runner processes for one sweep; they end with the plugin.

    It carries the FMU (and the input file): the scheduler keeps it for the sweep and hands
    it to every worker, one that joins or replaces a lost worker included, before its first
    chunk. Set up, it stores them and starts the worker's runner, whose Java VM then starts
    while the chunks are on their way."""

    def __init__(self, settings, fmu_bytes, input_bytes, columns):
        self.settings = settings
        self.fmu_bytes = fmu_bytes
        self.input_bytes = input_bytes
        self.columns = list(columns)

    def setup(self, worker):
        self.pool = RunnerPool(_folder(worker.local_directory))
        self.command, self.error = None, None
        try:
            self.command = runner_command(self.pool.folder, self.settings, self.fmu_bytes,
                                          self.input_bytes)
            self.pool.prestart(self.command, self.columns)
            if self.settings.get("events"):
                worker.log_event(self.settings["events"], {"runner": worker.address})
        except Exception as e:  # noqa: BLE001  (each chunk's runs will say it)
            self.error = f"the worker could not start a runner: {type(e).__name__}: {e}"

    def teardown(self, worker):
        self.pool.close()


def runner_command(folder, settings, fmu_bytes, input_bytes):
    """The kvfmu-run command of the sweep's runs, with the FMU and input file stored in
    `folder`."""
    command = [_runner(settings["runner"]), _stored(folder, settings["fmu_hash"], fmu_bytes, ".fmu"),
               "--quiet"]
    if input_bytes is not None:
        command += ["--input", _stored(folder, settings["input_hash"], input_bytes, ".csv")]
    if settings.get("run_timeout"):
        command += ["--run-timeout", str(settings["run_timeout"])]
    return command + list(settings.get("args", ()))


def run_chunk(chunk, fmu_bytes, input_bytes, settings):
    """Runs `chunk` = {"index", "columns", "runs": [[run id, [value texts]]...],
    "trajectories": [ids]}.

    `settings`: {"runner", "fmu_hash", "input_hash", "args", "run_timeout", "cancel_event",
    "plugin", "events", "metrics"}. On a worker with the sweep's plugin, the plugin has the
    FMU and input file and `fmu_bytes` and `input_bytes` are None; elsewhere they are the
    bytes. Answers {"rows": [row dicts in chunk order], "trajectories": {run id: CSV bytes},
    "processes": count started, "cancelled": bool}. Never raises: whatever goes wrong fails
    the runs it touches, with the reason.
    """
    worker = _worker()
    if worker is not None and settings.get("events"):
        worker.log_event(settings["events"], {"chunk": chunk["index"], "worker": worker.address})
    own_pool, plugin = None, None
    try:
        plugin = worker.plugins[settings["plugin"]]
    except (AttributeError, KeyError, TypeError):
        own_pool = RunnerPool(_folder(tempfile.gettempdir()))
    chunk_run = _ChunkRun(chunk, settings, _cancel_check(settings))
    try:
        if chunk_run.cancelled_check():  # dispatched before the sweep was cancelled
            raise ChunkCancelled("the sweep was cancelled")
        if plugin is not None and plugin.error:
            chunk_run.fail_rest(plugin.error)
        elif plugin is not None:
            chunk_run.run_all(plugin.pool, plugin.command)
        else:
            chunk_run.run_all(own_pool, runner_command(own_pool.folder, settings, fmu_bytes,
                                                       input_bytes))
    except ChunkCancelled:
        chunk_run.cancelled = True
    except Exception as e:  # noqa: BLE001  (the runs say what went wrong)
        chunk_run.fail_rest(f"the worker could not run the chunk: {type(e).__name__}: {e}")
    finally:
        if own_pool is not None:
            own_pool.close()
    return chunk_run.answer()


class _ChunkRun:
    def __init__(self, chunk, settings, cancelled):
        self.columns = chunk["columns"]
        self.pending = [(run_id, cells) for run_id, cells in chunk["runs"]]
        self.order = [run_id for run_id, _ in chunk["runs"]]
        self.wanted = set(chunk.get("trajectories", ()))
        self.metrics = [tuple(m) for m in settings["metrics"]]
        self.cancelled_check = cancelled
        self.rows, self.trajectories = {}, {}
        self.processes = 0
        self.cancelled = False
        self.retried = set()

    # Runs handed to a runner ahead of its answers, so that it starts the next run at once
    # and answers come several to a read.
    AHEAD = 4

    def run_all(self, pool, command):
        runner = None
        sent = 0  # runs of self.pending handed to the runner and not yet answered
        try:
            while self.pending:
                if runner is None:
                    runner, counted = pool.take(command, self.columns)
                    self.processes += counted
                    sent, began = 0, time.monotonic()
                while sent < min(self.AHEAD, len(self.pending)) and runner.send(*self.pending[sent]):
                    sent += 1
                if not sent and runner.cancelled:  # every run handed to it has answered
                    raise ChunkCancelled("the sweep was cancelled")
                run_id, cells = self.pending[0]
                row = runner.answer(self.cancelled_check) if sent else None
                if row is not None:
                    self._finish(runner, run_id, cells, row)
                    self.pending.pop(0)
                    sent -= 1
                    began = time.monotonic()
                    continue
                code, detail = runner.ended()
                answered, last_failed = runner.header is not None, runner.last_status == "failed"
                runner.close()
                runner = None
                reason = failure_text(code, detail)
                if not answered and code in exit_codes.BATCH_REFUSED:
                    self.fail_rest(reason)  # the same refusal awaits every run
                elif answered and last_failed and code > 0 and run_id not in self.retried:
                    # kvfmu-run recorded the run that ended it; this one had not started.
                    self.retried.add(run_id)
                else:
                    self._fail(run_id, cells, reason, time.monotonic() - began)
                    self.pending.pop(0)
        except BaseException:
            if runner is not None:
                runner.stop()
                runner.close()
                runner = None
            raise
        finally:
            if runner is not None:
                pool.give_back(runner)

    def _finish(self, runner, run_id, cells, row):
        path = os.path.join(runner.output_dir, run_id + ".csv")
        trajectory = None
        if row.get("status") == "ok" and (run_id in self.wanted
                                          or metrics.needs_trajectory(self.metrics)):
            try:
                with open(path, "rb") as f:
                    trajectory = f.read()
            except OSError as e:
                row = dict(row, status="failed", error=f"{run_id}.csv cannot be read: {e.strerror}")
        result = {"run": run_id, "status": row.get("status", "failed"),
                  "error": row.get("error", ""), "wall_seconds": row.get("wall_seconds", "")}
        # The values as sent, whatever form kvfmu-run wrote them in.
        result.update(zip(self.columns, cells))
        if result["status"] == "ok":
            try:
                result.update(metrics.evaluate(self.metrics, row, trajectory))
            except (metrics.MetricError, ValueError, KeyError, IndexError) as e:
                result.update(status="failed", error=f"the results cannot be computed: {e}")
                trajectory = None
        if trajectory is not None and run_id in self.wanted:
            self.trajectories[run_id] = trajectory
        try:
            os.remove(path)  # the worker keeps no run's files
        except OSError:
            pass
        self.rows[run_id] = result

    def _fail(self, run_id, cells, reason, seconds):
        row = {"run": run_id, "status": "failed", "error": reason,
               "wall_seconds": f"{seconds:.3f}"}
        row.update(zip(self.columns, cells))
        self.rows[run_id] = row

    def fail_rest(self, reason):
        for run_id, cells in self.pending:
            self._fail(run_id, cells, reason, 0.0)
        self.pending = []

    def answer(self):
        return {"rows": [self.rows[r] for r in self.order if r in self.rows],
                "trajectories": self.trajectories, "processes": self.processes,
                "cancelled": self.cancelled}


def _worker():
    try:
        from distributed import get_worker
        return get_worker()
    except (ImportError, ValueError):
        return None


def _folder(base):
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


def _runner(path):
    """The client's kvfmu-run where this worker has it there, else the one on its PATH."""
    import shutil
    if os.path.isfile(path):
        return path
    return shutil.which("kvfmu-run") or path


def _cancel_check(settings):
    """A function that tells whether the client cancelled the sweep (asked now and then)."""
    name = settings.get("cancel_event")
    if not name:
        return lambda: False
    try:
        from distributed import Event
        event = Event(name)
    except Exception:  # noqa: BLE001  (not on a worker: nothing can cancel)
        return lambda: False
    last = [0.0]

    def cancelled():
        now = time.monotonic()
        if now - last[0] < 0.5:
            return False
        last[0] = now
        try:
            return event.is_set()
        except Exception:  # noqa: BLE001
            return False
    return cancelled
