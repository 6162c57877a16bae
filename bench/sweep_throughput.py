#!/usr/bin/python3
"""Runs per second of short runs of a built-in FMU: a plain loop of kvfmu-run processes,
kvfmu-run's batch mode, and kvfmu-sweep on a local cluster of one and of two workers; and
the sweep's cost per run over batch mode alone. The goals: two workers at least 1.7 times
one worker on a running cluster, and the sweep's cost per run at most 0.5 ms.

    bench/sweep_throughput.py [--build build] [--runs 200] [--long-runs 2000]
                              [--loop-runs 50] [--stop 1] [--repeat 3]

Each run sets the FMU's damping c to its own value. Wall times include every Java VM start.
The sweep is timed twice: the whole command (the local cluster's start included), and the
sweep alone on a local cluster started before the clock, as on a standing cluster. Batch
mode and the sweeps are measured in turn, --repeat times, and the medians reported, so that
a busy moment of a shared machine does not fall on one of them only. A sweep of --runs short
runs lasts about a second, so each worker's Java VM start and warm-up weigh in it; batch mode
and the sweep on a running cluster are also measured with --long-runs runs, where they do not.
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
    """Seconds of the sweep alone, on a local cluster started before the clock that has
    served a sweep of a few runs, as a standing cluster has (its workers have the sweep's
    code loaded)."""
    sys.path.insert(0, os.path.join(build, "kvfmu-sweep"))
    from kvfmu_sweep.cluster import connected
    from kvfmu_sweep.fmu_info import read_fmu
    from kvfmu_sweep.sampling import RunTable, file_runs
    from kvfmu_sweep.sweep import SweepSettings, run_sweep

    settings = SweepSettings(runner=os.path.abspath(runner), run_args=["--stop", stop],
                             plot_trajectories=False)
    fmu, table = read_fmu(fmu_path), file_runs(runs_csv)
    with connected(workers=workers) as client:
        first = RunTable(table.names, table.run_ids[:2 * workers], table.values[:2 * workers])
        run_sweep(client, fmu, first, settings, out + "-before")
        started = time.monotonic()
        result = run_sweep(client, fmu, table, settings, out)
        seconds = time.monotonic() - started
    assert result.ok == len(table), "some runs failed"
    return seconds


def runs_file(folder, count):
    path = os.path.join(folder, f"runs{count}.csv")
    with open(path, "w", newline="") as f:
        writer = csv.writer(f)
        writer.writerow(["run", "c"])
        writer.writerows([f"r{i:05d}", repr(0.1 + i * 1e-4)] for i in range(count))
    return path


def side_by_side(runner, fmu, runs_csv, work, stop):
    """Seconds of two batch processes at once, each with half the runs: what two Java VMs
    give on this machine without a sweep."""
    with open(runs_csv) as f:
        header, *rows = f.read().splitlines()
    halves = []
    for i, part in enumerate((rows[::2], rows[1::2])):
        halves.append(os.path.join(work, f"half{i}.csv"))
        with open(halves[-1], "w") as f:
            f.write("\n".join([header] + part) + "\n")
    started = time.monotonic()
    processes = [subprocess.Popen([runner, fmu, "--runs", half, "--output-dir",
                                   os.path.join(work, f"pair{i}"), "--stop", stop, "--quiet"],
                                  stdout=subprocess.DEVNULL) for i, half in enumerate(halves)]
    if any(p.wait() != 0 for p in processes):
        raise RuntimeError("a batch process failed")
    return time.monotonic() - started


def measure(args, work, count, with_command):
    """Median seconds of batch mode and of the sweeps, for `count` runs."""
    runner = os.path.join(args.build, "kvfmu-run", "kvfmu-run")
    sweep = os.path.join(args.build, "kvfmu-sweep", "kvfmu-sweep")
    runs_csv = runs_file(work, count)
    names = ("batch", "pair", "running1", "running2") + (("sweep1", "sweep2") if with_command else ())
    times = {name: [] for name in names}
    for _ in range(args.repeat):
        times["batch"].append(timed([runner, args.fmu, "--runs", runs_csv, "--output-dir",
                                     os.path.join(work, "batch"), "--stop", args.stop, "--quiet"]))
        times["pair"].append(side_by_side(runner, args.fmu, runs_csv, work, args.stop))
        for workers in (1, 2):
            times[f"running{workers}"].append(sweep_on_running_cluster(
                args.build, args.fmu, runner, runs_csv, args.stop,
                os.path.join(work, f"running{workers}"), workers))
            if with_command:
                times[f"sweep{workers}"].append(timed(
                    [sys.executable, sweep, args.fmu, "--runs", runs_csv, "--stop", args.stop,
                     "--workers", str(workers), "-o", os.path.join(work, f"sweep{workers}"),
                     "--no-plot", "--quiet", "--runner", runner],
                    stderr=subprocess.DEVNULL))
    return {name: statistics.median(t) for name, t in times.items()}


def report(count, median):
    rate = {name: count / seconds for name, seconds in median.items()}
    rows = [("kvfmu-run --runs (batch mode)", "batch"),
            ("two batch processes side by side", "pair"), ("kvfmu-sweep, 1 worker", "sweep1"),
            ("kvfmu-sweep, 2 workers", "sweep2"),
            ("sweep on a running cluster, 1 worker", "running1"),
            ("sweep on a running cluster, 2 workers", "running2")]
    for what, name in rows:
        if name in rate:
            print(f"  {what:40s} {rate[name]:7.1f} runs/s")
    print(f"  two batch processes side by side / one: {rate['pair'] / rate['batch']:.2f}x")
    print(f"  sweep on a running cluster, 2 workers / 1 worker: "
          f"{rate['running2'] / rate['running1']:.2f}x (goal >= 1.7x)")
    print(f"  sweep's cost per run over batch mode on a running cluster, 1 worker: "
          f"{(median['running1'] - median['batch']) / count * 1000:.2f} ms (goal <= 0.5 ms)")
    return rate


def main():
    p = argparse.ArgumentParser(description=__doc__,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--build", default="build")
    p.add_argument("--fmu", default=None, help="default: BUILD/fmus/MassSpringDamper.fmu")
    p.add_argument("--runs", type=int, default=200)
    p.add_argument("--long-runs", type=int, default=2000,
                   help="runs of the longer sweep (0: none)")
    p.add_argument("--loop-runs", type=int, default=50,
                   help="runs of the plain loop (its rate is per run)")
    p.add_argument("--stop", default="1", help="stop time of each run (default 1 s)")
    p.add_argument("--repeat", type=int, default=3)
    args = p.parse_args()
    args.fmu = args.fmu or os.path.join(args.build, "fmus", "MassSpringDamper.fmu")
    runner = os.path.join(args.build, "kvfmu-run", "kvfmu-run")

    with tempfile.TemporaryDirectory() as work:
        loop = sum(timed([runner, args.fmu, "--stop", args.stop, "--quiet", "--param",
                          f"c={0.1 + i * 0.01!r}", "-o", os.path.join(work, "loop.csv")])
                   for i in range(args.loop_runs))
        short = measure(args, work, args.runs, with_command=True)
        long = measure(args, work, args.long_runs, with_command=False) if args.long_runs else None

    loop_rate = args.loop_runs / loop
    print(f"runs of {os.path.basename(args.fmu)} to t = {args.stop} s, medians of {args.repeat}")
    print(f"  loop of kvfmu-run processes ({args.loop_runs} runs)   {loop_rate:7.1f} runs/s")
    print(f"{args.runs} runs:")
    rate = report(args.runs, short)
    print(f"  batch / loop                             {rate['batch'] / loop_rate:7.1f}x")
    print(f"  kvfmu-sweep, 2 workers / 1 worker        {rate['sweep2'] / rate['sweep1']:7.2f}x")
    if long:
        print(f"{args.long_runs} runs:")
        report(args.long_runs, long)


if __name__ == "__main__":
    main()
