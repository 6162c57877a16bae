#!/usr/bin/python3
"""A stand-in for `kvfmu-run FMU --runs - --output-dir DIR` in the sweep's tests.

It follows kvfmu-run's batch mode with the runs on standard input: DIR/<run>.csv per run,
DIR/summary.csv with run, the runs columns, status, error, wall_seconds and the final
outputs, each row also written to standard output as its run ends (the header once, when
the runs header has been read); `--check` accepts everything; a run over --run-timeout is recorded as failed and ends the process with the
timeout exit code. Its "model" has outputs y = the sum of the run's values and z = twice
the first. Columns steer it: fail=1 fails the run (the batch goes on and ends with exit code
41), crash=1 kills the process during the run, abort=1 records the run as failed and ends
the process with exit code 50 (as kvfmu-run does when it cannot write a result), sleep=S
takes S seconds; values of --set=NAME=V and --param=NAME=V count as columns. Every run started is logged as "RUN PID PARENT-PID" to the
file named in the FMU's entry standin/log (else $KVFMU_STANDIN_LOG); the entry standin/sleep
(else $KVFMU_STANDIN_SLEEP) adds seconds to every run. The FMU carries them so that they
reach workers started before the test knew them.
"""

import csv
import ctypes
import os
import signal
import sys
import time
import zipfile

BATCH_RUNS_FAILED_EXIT = 41
OUTPUT_NOT_WRITABLE_EXIT = 50
RUN_TIMEOUT_EXIT = 60


def main(argv):
    fmu, options, held = argv[0], {}, {}
    i = 1
    while i < len(argv):
        arg = argv[i]
        if arg.startswith(("--set=", "--param=")):
            name, value = arg.split("=", 1)[1].split("=")
            held[name] = float(value)
        if arg in ("--quiet", "-q", "--check", "--end-with-parent") or arg.startswith(("--vm-option=", "--set=", "--param=")):
            i += 1
            continue
        options[arg] = argv[i + 1]
        i += 2
    if not os.path.isfile(fmu):
        print(f"kvfmu-run: error: {fmu}: no such file", file=sys.stderr)
        return 10
    if "--check" in argv:
        return 0
    if "--end-with-parent" in argv:
        ctypes.CDLL(None).prctl(1, signal.SIGTERM, 0, 0, 0)  # PR_SET_PDEATHSIG
    runs = csv.reader(sys.stdin if options["--runs"] == "-" else open(options["--runs"], newline=""))
    header = next(runs)
    columns = header[1:]
    out = options["--output-dir"]
    os.makedirs(out, exist_ok=True)
    timeout = float(options.get("--run-timeout", "inf"))
    with zipfile.ZipFile(fmu) as archive:
        entries = {name: archive.read(name).decode() for name in archive.namelist()
                   if name.startswith("standin/")}
    extra_sleep = float(entries.get("standin/sleep", os.environ.get("KVFMU_STANDIN_SLEEP", "0")))
    log = entries.get("standin/log", os.environ.get("KVFMU_STANDIN_LOG"))
    failures = 0
    with open(os.path.join(out, "summary.csv"), "w", newline="") as summary_file:
        summary = Summary(summary_file)
        summary.writerow(["run"] + columns + ["status", "error", "wall_seconds", "y", "z"])
        for cells in runs:
            run_id, values = cells[0], dict(zip(columns, map(float, cells[1:])), **held)
            if log:
                with open(log, "a") as f:
                    f.write(f"{run_id} {os.getpid()} {os.getppid()}\n")
            started = time.monotonic()
            sleep = values.get("sleep", 0.0) + extra_sleep
            if sleep > timeout:
                time.sleep(timeout)
                summary.writerow([run_id] + cells[1:] + [
                    "failed", f"the run took longer than --run-timeout {timeout:g} s",
                    f"{time.monotonic() - started:.3f}", "", ""])
                print("kvfmu-run: error: run timeout", file=sys.stderr)
                return RUN_TIMEOUT_EXIT
            time.sleep(sleep)
            if values.get("crash") == 1:
                print("model crashed", file=sys.stderr)
                sys.stderr.flush()
                os.kill(os.getpid(), signal.SIGKILL)
            y = sum(values.values())
            z = 2 * next(iter(values.values()), 0.0)
            wall = f"{time.monotonic() - started:.3f}"
            if values.get("abort") == 1:
                summary.writerow([run_id] + cells[1:] + [
                    "failed", f"{run_id}.csv: cannot write", wall, "", ""])
                print(f"kvfmu-run: error: {run_id}.csv: cannot write", file=sys.stderr)
                return OUTPUT_NOT_WRITABLE_EXIT
            if values.get("fail") == 1:
                failures += 1
                summary.writerow([run_id] + cells[1:] + [
                    "failed", "fmi2DoStep failed: the model refused fail = 1", wall, "", ""])
            else:
                with open(os.path.join(out, run_id + ".csv"), "w") as f:
                    f.write("time,y,z\n")
                    for step in range(5):
                        t = step * 0.25
                        f.write(f"{t!r},{y * t!r},{z * t!r}\n")
                summary.writerow([run_id] + cells[1:] + ["ok", "", wall, repr(y), repr(z)])
    return BATCH_RUNS_FAILED_EXIT if failures else 0


class Summary:
    """Each row into DIR/summary.csv and onto standard output, flushed."""

    def __init__(self, file):
        self.file = file
        self.to_file = csv.writer(file, lineterminator="\n")
        self.to_stdout = csv.writer(sys.stdout, lineterminator="\n")

    def writerow(self, cells):
        self.to_file.writerow(cells)
        self.file.flush()
        self.to_stdout.writerow(cells)
        sys.stdout.flush()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
