"""Runs a sweep on a Dask cluster: chunks out, rows back into the summary."""

import hashlib
import os
import uuid
from dataclasses import dataclass, field

import cloudpickle
from distributed import Event, as_completed

from . import chunk_task
from .sampling import format_number
from .summary import SummaryWriter

# Workers import nothing of this package: the task's code travels with it.
cloudpickle.register_pickle_by_value(chunk_task)

PLOTTED_TRAJECTORIES = 20


@dataclass
class SweepSettings:
    runner: str
    run_args: list = field(default_factory=list)  # --start, --stop, --step, --vm-option ...
    input_data: bytes = None
    run_timeout: float = None
    chunk_size: int = None
    keep_trajectories: bool = False
    plot_trajectories: bool = True


@dataclass
class SweepResult:
    ok: int
    failed: int
    summary_path: str
    trajectories: dict  # run id -> CSV bytes of the runs whose trajectories came back
    processes: int


def default_chunk_size(runs, workers):
    """One chunk per worker, and no more than 100 runs in one chunk. Each chunk costs a Java
    VM start and its warm-up, which for short runs outweighs the runs themselves, so a small
    sweep starts no more VMs than it has workers; a large one is cut into chunks of 100, which
    even out a slow worker or a lost one."""
    return max(1, min(100, -(-runs // max(1, workers))))


def make_chunks(table, chunk_size, trajectory_ids):
    chunks = []
    for start in range(0, len(table), chunk_size):
        ids = table.run_ids[start:start + chunk_size]
        chunks.append({
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

    sweep_id = uuid.uuid4().hex[:12]
    cancel_name = f"kvfmu-sweep-cancel-{sweep_id}"
    # The FMU (and input file) travel to each worker once; tasks refer to the copy there.
    fmu_future = client.scatter(fmu.data, broadcast=True, hash=True)
    input_future, input_hash = None, None
    if settings.input_data is not None:
        input_future = client.scatter(settings.input_data, broadcast=True, hash=True)
        input_hash = hashlib.sha256(settings.input_data).hexdigest()
    task_settings = {
        "runner": settings.runner, "fmu_hash": fmu.content_hash, "input_hash": input_hash,
        "args": list(settings.run_args), "run_timeout": settings.run_timeout,
        "cancel_event": cancel_name,
    }
    futures = {}
    for i, chunk in enumerate(chunks):
        future = client.submit(chunk_task.run_chunk, chunk, fmu_future, input_future,
                               task_settings, key=f"kvfmu-chunk-{sweep_id}-{i}")
        futures[future] = chunk

    summary = SummaryWriter(os.path.join(output_dir, "summary.csv"), table.names,
                            fmu.outputs, table.run_ids)
    trajectories = {}
    processes = 0
    try:
        for future in as_completed(list(futures)):
            chunk = futures.pop(future)
            try:
                answer = future.result()
                rows = answer["rows"]
                processes += answer["processes"]
                trajectories.update(answer["trajectories"])
            except Exception as e:  # the chunk could not be run at all (e.g. lost workers)
                rows = failed_rows(chunk, f"the chunk could not be run: {type(e).__name__}: {e}")
            for row in rows:
                summary.add(row)
            if progress is not None:
                progress.update(len(rows))
    except BaseException:
        _cancel(client, cancel_name, list(futures))
        raise
    finally:
        summary.close()
        if settings.keep_trajectories:
            _write_trajectories(output_dir, trajectories)
        if progress is not None:
            progress.close()
    ok, failed = summary.counts()
    return SweepResult(ok, failed, summary.path, trajectories, processes)


def _cancel(client, name, futures):
    """Tells running chunks to stop their kvfmu-run and drops the rest."""
    try:
        Event(name, client=client).set()
        client.cancel(futures)
    except Exception:
        pass  # the cluster may already be gone


def _write_trajectories(output_dir, trajectories):
    for run_id, data in trajectories.items():
        folder = os.path.join(output_dir, "runs", run_id)
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "trajectory.csv"), "wb") as f:
            f.write(data)
