#!/usr/bin/python3
"""Runs per second of short runs of a built-in FMU: a plain loop of kvfmu-run processes,
kvfmu-run's batch mode, and kvfmu-sweep on a local cluster of one and of two workers; and
the sweep's cost per run over batch mode alone. The goals: two workers at least 1.7 times
one worker on a running cluster, and the sweep's cost per run at most 0.5 ms.

    bench/sweep_throughput.py [--build build] [--runs 200] [--loop-runs 50] [--stop 1]
                              [--repeat 3]

Each run sets the FMU's damping c to its own value. Wall times include every Java VM start.
The sweep is timed twice: the whole command (the local cluster's start included), and the
sweep alone on a local cluster started before the clock, as on a standing cluster. Batch
mode and the sweeps are measured in turn, --repeat times, and the medians reported, so that
a busy moment of a shared machine does not fall on one of them only.
"""

import argparse
import csv
import os
import statistics
import subprocess
import sys
import tempfile
import time


def timed(command, **kwargs):
    started = time.monotonic()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, **kwargs)
    return time.monotonic() - started


def sweep_on_running_cluster(build, fmu_path, runner, runs_csv, stop, out, workers):
    """Seconds of the sweep alone, on a local cluster started before the clock."""
    sys.path.insert(0, os.path.join(build, "kvfmu-sweep"))
    from kvfmu_sweep.cluster import connected
    from kvfmu_sweep.fmu_info import read_fmu
    from kvfmu_sweep.sampling import file_runs
    from kvfmu_sweep.sweep import SweepSettings, run_sweep

    settings = SweepSettings(runner=os.path.abspath(runner), run_args=["--stop", stop],
                             plot_trajectories=False)
    fmu, table = read_fmu(fmu_path), file_runs(runs_csv)
    with connected(workers=workers) as client:
        started = time.monotonic()
        result = run_sweep(client, fmu, table, settings, out)
        seconds = time.monotonic() - started
    assert result.ok == len(table), "some runs failed"
    return seconds


def main():
    p = argparse.ArgumentParser(description=__doc__,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--build", default="build")
    p.add_argument("--fmu", default=None, help="default: BUILD/fmus/MassSpringDamper.fmu")
    p.add_argument("--runs", type=int, default=200)
    p.add_argument("--loop-runs", type=int, default=50,
                   help="runs of the plain loop (its rate is per run)")
    p.add_argument("--stop", default="1", help="stop time of each run (default 1 s)")
    p.add_argument("--repeat", type=int, default=3)
    args = p.parse_args()
    runner = os.path.join(args.build, "kvfmu-run", "kvfmu-run")
    sweep = os.path.join(args.build, "kvfmu-sweep", "kvfmu-sweep")
    fmu = args.fmu or os.path.join(args.build, "fmus", "MassSpringDamper.fmu")
    values = [0.1 + i * 0.01 for i in range(args.runs)]

    times = {name: [] for name in ("batch", "sweep1", "sweep2", "running1", "running2")}
    with tempfile.TemporaryDirectory() as work:
        runs_csv = os.path.join(work, "runs.csv")
        with open(runs_csv, "w", newline="") as f:
            writer = csv.writer(f)
            writer.writerow(["run", "c"])
            writer.writerows([f"r{i:04d}", repr(c)] for i, c in enumerate(values))

        loop = sum(timed([runner, fmu, "--stop", args.stop, "--quiet", "--param", f"c={c!r}",
                          "-o", os.path.join(work, "loop.csv")])
                   for c in values[:args.loop_runs])
        for _ in range(args.repeat):
            times["batch"].append(timed([runner, fmu, "--runs", runs_csv, "--output-dir",
                                         os.path.join(work, "batch"), "--stop", args.stop,
                                         "--quiet"]))
            for workers in (1, 2):
                times[f"running{workers}"].append(sweep_on_running_cluster(
                    args.build, fmu, runner, runs_csv, args.stop,
                    os.path.join(work, f"running{workers}"), workers))
                times[f"sweep{workers}"].append(timed(
                    [sys.executable, sweep, fmu, "--runs", runs_csv, "--stop", args.stop,
                     "--workers", str(workers), "-o", os.path.join(work, f"sweep{workers}"),
                     "--no-plot", "--quiet", "--runner", runner],
                    stderr=subprocess.DEVNULL))
    median = {name: statistics.median(t) for name, t in times.items()}
    rate = {name: args.runs / seconds for name, seconds in median.items()}
    loop_rate = args.loop_runs / loop

    print(f"{args.runs} runs of {os.path.basename(fmu)} to t = {args.stop} s, median of "
          f"{args.repeat} (loop: {args.loop_runs} runs)")
    rows = [("loop of kvfmu-run processes", loop_rate),
            ("kvfmu-run --runs (batch mode)", rate["batch"]),
            ("kvfmu-sweep, 1 worker", rate["sweep1"]),
            ("kvfmu-sweep, 2 workers", rate["sweep2"]),
            ("sweep on a running cluster, 1 worker", rate["running1"]),
            ("sweep on a running cluster, 2 workers", rate["running2"])]
    for what, value in rows:
        print(f"  {what:40s} {value:7.1f} runs/s")
    print(f"  batch / loop                             {rate['batch'] / loop_rate:7.1f}x")
    print(f"  sweep, 2 workers / 1 worker              {rate['sweep2'] / rate['sweep1']:7.2f}x"
          f" (on a running cluster {rate['running2'] / rate['running1']:.2f}x; goal >= 1.7x)")
    print(f"  sweep's cost per run over batch mode, 1 worker: "
          f"{(median['sweep1'] - median['batch']) / args.runs * 1000:.1f} ms "
          f"(on a running cluster {(median['running1'] - median['batch']) / args.runs * 1000:.2f} ms;"
          " goal <= 0.5 ms)")


if __name__ == "__main__":
    main()
