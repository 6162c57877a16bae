"""Runs a sweep on a Dask cluster: chunks out, rows back into the summary."""

import hashlib
import os
import uuid
from dataclasses import dataclass, field
from itertools import chain

import cloudpickle
from distributed import Event, as_completed, wait

from . import chunk_task, exit_codes, metrics, runner_process
from .metrics import format_number
from .summary import SummaryWriter

# Workers import nothing of this package: the task's code travels with it.
for _module in (chunk_task, runner_process, metrics, exit_codes):
    cloudpickle.register_pickle_by_value(_module)

PLOTTED_TRAJECTORIES = 20
# How long an interrupted sweep waits for its running chunks to answer with their finished
# runs: a chunk notices within a second, and its kvfmu-run gets 10 s to end cleanly.
STOP_GRACE_SECONDS = 15


@dataclass
class SweepSettings:
    runner: str
    run_args: list = field(default_factory=list)  # --start, --stop, --step, --vm-option ...
    input_data: bytes = None
    run_timeout: float = None
    chunk_size: int = None
    keep_trajectories: bool = False
    plot_trajectories: bool = True
    metrics: list = None  # (column, kind, output, time) each; default: every final output


@dataclass
class SweepResult:
    ok: int
    failed: int
    summary_path: str
    trajectories: dict  # run id -> CSV bytes of the runs whose trajectories came back
    processes: int  # kvfmu-run processes started
    rerun_chunks: int = 0  # chunks run again after their worker was lost
    lost_workers: int = 0
    given_up_chunks: int = 0  # chunks whose runs failed because too many workers were lost


def default_chunk_size(runs, workers):
    """Four chunks per worker, and no more than 100 runs in one chunk. A chunk costs little
    (the worker's kvfmu-run and its Java VM serve every chunk), so chunks are small enough to
    even out a slow worker and to lose little with a lost one."""
    return max(1, min(100, -(-runs // (4 * max(1, workers)))))


def make_chunks(table, chunk_size, trajectory_ids):
    chunks = []
    for start in range(0, len(table), chunk_size):
        ids = table.run_ids[start:start + chunk_size]
        chunks.append({
            "index": len(chunks),
            "columns": list(table.names),
            "runs": [[run_id, [format_number(v) for v in table.values[start + i]]]
                     for i, run_id in enumerate(ids)],
            "trajectories": [r for r in ids if r in trajectory_ids],
        })
    return chunks


def plotted_runs(run_ids, count=PLOTTED_TRAJECTORIES):
    """Up to `count` runs spread evenly over the sweep."""
    if len(run_ids) <= count:
        return list(run_ids)
    return [run_ids[i * (len(run_ids) - 1) // (count - 1)] for i in range(count)]


def failed_rows(chunk, reason):
    rows = []
    for run_id, cells in chunk["runs"]:
        row = {"run": run_id, "status": "failed", "error": reason, "wall_seconds": ""}
        row.update(zip(chunk["columns"], cells))
        rows.append(row)
    return rows


def run_sweep(client, fmu, table, settings, output_dir, progress=None):
    """Runs every run of `table` on the cluster behind `client`; writes
    output_dir/summary.csv (and output_dir/runs/<run>/trajectory.csv when kept).
    A KeyboardInterrupt cancels what is still running and keeps the summary of what finished.
    """
    os.makedirs(output_dir, exist_ok=True)
    workers = max(1, len(client.scheduler_info().get("workers", {})))
    chunk_size = settings.chunk_size or default_chunk_size(len(table), workers)
    if settings.keep_trajectories:
        wanted = set(table.run_ids)
    elif settings.plot_trajectories:
        wanted = set(plotted_runs(table.run_ids))
    else:
        wanted = set()
    chunks = make_chunks(table, chunk_size, wanted)
    result_metrics = settings.metrics or metrics.defaults(fmu.outputs)

    sweep_id = uuid.uuid4().hex[:12]
    cancel_name = f"kvfmu-sweep-cancel-{sweep_id}"
    plugin_name = f"kvfmu-sweep-runners-{sweep_id}"
    events = f"kvfmu-sweep-chunks-{sweep_id}"
    input_hash = None
    if settings.input_data is not None:
        input_hash = hashlib.sha256(settings.input_data).hexdigest()
    task_settings = {
        "runner": settings.runner, "fmu_hash": fmu.content_hash, "input_hash": input_hash,
        "args": list(settings.run_args), "run_timeout": settings.run_timeout,
        "cancel_event": cancel_name, "plugin": plugin_name, "events": events,
        "metrics": [list(m) for m in result_metrics],
    }
    # The FMU (and input file) travel with the worker plugin, which every worker gets before
    # its first chunk, a worker that replaces a lost one included.
    client.register_worker_plugin(
        chunk_task.RunnerPlugin(task_settings, fmu.data, settings.input_data, table.names),
        name=plugin_name)
    # One call for every chunk: Dask packs the graph, and reads the calling code's source for
    # its dashboard, once a call.
    futures = dict(zip(client.map(chunk_task.run_chunk, chunks, fmu_bytes=None,
                                  input_bytes=None, settings=task_settings, pure=False,
                                  key=[f"kvfmu-chunk-{sweep_id}-{c['index']}" for c in chunks]),
                       chunks))

    summary = SummaryWriter(os.path.join(output_dir, "summary.csv"), table.names,
                            [m[0] for m in result_metrics], table.run_ids)
    trajectories = {}
    processes = 0
    given_up = 0

    def keep(future):
        nonlocal processes, given_up
        chunk = futures.pop(future)
        try:
            answer = future.result()
            rows = answer["rows"]
            processes += answer["processes"]
            trajectories.update(answer["trajectories"])
        except Exception as e:  # the chunk could not be run at all (e.g. lost workers)
            given_up += 1
            rows = failed_rows(chunk, f"the chunk could not be run: {type(e).__name__}: "
                                      f"{_short(e)}")
        summary.add(rows)
        if progress is not None:
            progress.update(len(rows))

    try:
        for future in as_completed(list(futures)):
            keep(future)
    except BaseException:
        try:
            _stop(client, cancel_name, futures, keep)
        finally:
            _end_runners(client, plugin_name)
        raise
    finally:
        summary.close()
        if settings.keep_trajectories:
            _write_trajectories(output_dir, trajectories)
        if progress is not None:
            progress.close()
    rerun, lost, prestarted = _reruns(client, events)
    processes += prestarted
    _end_runners(client, plugin_name)
    ok, failed = summary.counts()
    return SweepResult(ok, failed, summary.path, trajectories, processes, rerun, lost, given_up)


def _short(error, limit=300):
    text = str(error)
    return text if len(text) <= limit else text[:limit] + "..."


def _reruns(client, events):
    """The chunks started more than once, the workers lost while running one of them, and the
    runners that the workers started before their first chunk."""
    try:
        messages = [message for _, message in client.get_events(events)]
    except Exception:  # noqa: BLE001  (the counts are for the closing lines only)
        return 0, 0, 0
    by_chunk = {}
    for message in messages:
        if "chunk" in message:
            by_chunk.setdefault(message["chunk"], []).append(message["worker"])
    rerun = [workers for workers in by_chunk.values() if len(workers) > 1]
    lost = {worker for workers in rerun for worker in workers[:-1]}
    return len(rerun), len(lost), sum(1 for message in messages if "runner" in message)


def _end_runners(client, plugin_name):
    """Ends the workers' runner processes (end of input: each ends its Java VM cleanly)."""
    try:
        client.unregister_worker_plugin(plugin_name)
    except Exception:  # noqa: BLE001  (a worker that is gone took its runners along)
        pass


def _stop(client, cancel_name, futures, keep):
    """Stops the sweep and keeps what finished: chunks not yet started are dropped; running
    ones stop their kvfmu-run and answer with the runs that had ended, which are kept. A
    second interrupt drops them too."""
    try:
        Event(cancel_name, client=client).set()
        # Asked in this order, a chunk that started before the cancel is running or done in
        # one answer or the other, though the client may not have heard of it yet.
        running = set(chain.from_iterable(client.processing().values()))
        done = {key for key, holders in client.who_has(list(futures)).items() if holders}
        answering = {f.key for f in futures if f.key in running or f.key in done or f.done()}
        client.cancel([f for f in futures if f.key not in answering])
        try:
            wait([f for f in futures if f.key in answering], timeout=STOP_GRACE_SECONDS)
        except Exception:  # noqa: BLE001  (timed out, or one was cancelled: keep the others)
            pass
        for future in [f for f in futures if f.status == "finished"]:
            keep(future)
    except Exception:  # noqa: BLE001  (the cluster may already be gone)
        pass
    finally:
        try:
            client.cancel(list(futures))
        except Exception:  # noqa: BLE001
            pass


def _write_trajectories(output_dir, trajectories):
    for run_id, data in trajectories.items():
        folder = os.path.join(output_dir, "runs", run_id)
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "trajectory.csv"), "wb") as f:
            f.write(data)
