"""One chunk on a worker, without Dask: the stand-in runner in its place, and every way its
process can end: only the run it was busy with fails."""

import hashlib
import os
import stat
import tempfile

import pytest

from conftest import STANDIN_RUNNER, make_standin_fmu
from kvfmu_sweep import chunk_task

COLUMNS = ["k", "fail", "crash", "abort", "sleep"]


def chunk(*runs, trajectories=()):
    """runs: (run id, {column: value}) with the others 0."""
    return {"index": 0, "columns": COLUMNS,
            "runs": [[run_id, [repr(float(values.get(c, 0))) for c in COLUMNS]]
                     for run_id, values in runs],
            "trajectories": list(trajectories)}


def run(chunk_, runner=STANDIN_RUNNER, run_timeout=None):
    with tempfile.TemporaryDirectory() as folder:
        with open(make_standin_fmu(os.path.join(folder, "Standin.fmu")), "rb") as f:
            fmu = f.read()
    settings = {"runner": runner, "fmu_hash": hashlib.sha256(fmu).hexdigest(),
                "input_hash": None, "args": [], "run_timeout": run_timeout, "cancel_event": None,
                "metrics": [["y", "final", "y", None], ["z", "final", "z", None]]}
    return chunk_task.run_chunk(chunk_, fmu, None, settings)


# (runs, run timeout, processes expected, {run: (status, error part or y)})
CASES = {
    "all ok": ([("a", {"k": 1}), ("b", {"k": 2})], None, 1,
               {"a": ("ok", "1.0"), "b": ("ok", "2.0")}),
    "a failed run": ([("a", {"k": 1, "fail": 1}), ("b", {"k": 2})], None, 1,
                     {"a": ("failed", "the model refused"), "b": ("ok", "2.0")}),
    "a crash goes on in a new process": (
        [("a", {"k": 1}), ("b", {"k": 2, "crash": 1}), ("c", {"k": 3})], None, 2,
        {"a": ("ok", "1.0"), "b": ("failed", "killed by SIGKILL: model crashed"),
         "c": ("ok", "3.0")}),
    "crashes in a row": ([("a", {"crash": 1}), ("b", {"crash": 1})], None, 2,
                         {"a": ("failed", "SIGKILL"), "b": ("failed", "SIGKILL")}),
    "a run recorded as the process ends": (
        [("a", {"k": 1}), ("b", {"k": 2, "abort": 1}), ("c", {"k": 3})], None, 2,
        {"a": ("ok", "1.0"), "b": ("failed", "b.csv: cannot write"), "c": ("ok", "3.0")}),
    "a timeout goes on in a new process": (
        [("a", {"k": 1}), ("b", {"k": 2, "sleep": 3}), ("c", {"k": 3})], 0.3, 2,
        {"a": ("ok", "1.0"), "b": ("failed", "longer than --run-timeout"), "c": ("ok", "3.0")}),
}


@pytest.mark.parametrize("name", CASES)
def test_chunk_ends(name):
    runs, timeout, processes, expected = CASES[name]
    answer = run(chunk(*runs), run_timeout=timeout)
    assert answer["processes"] == processes
    assert [row["run"] for row in answer["rows"]] == [r for r, _ in runs]
    for row in answer["rows"]:
        status, detail = expected[row["run"]]
        assert row["status"] == status
        assert row["k"] == repr(float(dict(runs)[row["run"]].get("k", 0)))
        if status == "ok":
            assert row["y"].startswith(detail) and row["error"] == ""
        else:
            assert detail in row["error"]
        float(row["wall_seconds"])


def test_a_refused_batch_fails_every_run_once(tmp_path):
    refusing = tmp_path / "refusing-runner"
    refusing.write_text("#!/bin/sh\necho 'kvfmu-run: error: model.xml: not valid' >&2\nexit 14\n")
    refusing.chmod(refusing.stat().st_mode | stat.S_IXUSR)
    answer = run(chunk(("a", {}), ("b", {})), runner=str(refusing))
    assert answer["processes"] == 1
    assert [(r["status"], r["error"]) for r in answer["rows"]] == [
        ("failed", "kvfmu-run ended with exit code 14: kvfmu-run: error: model.xml: not valid")] * 2


def test_trajectories_come_back_only_for_the_runs_asked_that_ended_ok():
    answer = run(chunk(("a", {"k": 1}), ("b", {"k": 2}), ("c", {"fail": 1}),
                       trajectories=["b", "c"]))
    assert set(answer["trajectories"]) == {"b"}
    assert answer["trajectories"]["b"].startswith(b"time,y,z\n")


def test_the_fmu_is_stored_once_per_content(tmp_path):
    data = b"fmu bytes"
    digest = hashlib.sha256(data).hexdigest()
    first = chunk_task._stored(str(tmp_path), digest, data, ".fmu")
    mtime = os.stat(first).st_mtime_ns
    assert chunk_task._stored(str(tmp_path), digest, data, ".fmu") == first
    assert os.stat(first).st_mtime_ns == mtime
    assert os.listdir(tmp_path) == [digest + ".fmu"]
    with pytest.raises(RuntimeError, match="do not match their hash"):
        chunk_task._stored(str(tmp_path), "0" * 64, data, ".fmu")


def test_a_row_cut_short_by_the_end_of_the_process_is_left_out(tmp_path):
    # A runner that answers one run and dies while writing the next run's row; its error
    # texts hold a line end, which a quoted cell may.
    script = tmp_path / "dying-runner"
    script.write_text('#!/bin/sh\nread header\n'
                      'printf \'run,k,status,error,wall_seconds,y\\n\'\n'
                      'read a; printf \'a,1,failed,"two\\nlines",0.1,\\n\'\n'
                      'read b; printf \'b,1,ok,,0.1,2\'; kill -9 $$\n')
    script.chmod(script.stat().st_mode | stat.S_IXUSR)
    answer = run({"index": 0, "columns": ["k"], "runs": [["a", ["1"]], ["b", ["1"]]]},
                 runner=str(script))
    a, b = answer["rows"]
    assert (a["status"], a["error"]) == ("failed", "two\nlines")
    assert (b["status"], b["error"]) == ("failed", "kvfmu-run was killed by SIGKILL")
