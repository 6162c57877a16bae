#!/usr/bin/python3
"""Runs per second of short runs of a built-in FMU: a plain loop of kvfmu-run processes,
kvfmu-run's batch mode, and kvfmu-sweep on a local cluster of one and of two workers; and
the sweep's cost per run over batch mode alone.

    bench/sweep_throughput.py [--build build] [--runs 200] [--loop-runs 200] [--stop 1]

Each run sets the FMU's damping c to its own value. Wall times include every Java VM start
(and for the sweep, the cluster's start).
"""

import argparse
import csv
import os
import subprocess
import sys
import tempfile
import time


def timed(command, **kwargs):
    started = time.monotonic()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, **kwargs)
    return time.monotonic() - started


def main():
    p = argparse.ArgumentParser(description=__doc__,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--build", default="build")
    p.add_argument("--fmu", default=None, help="default: BUILD/fmus/MassSpringDamper.fmu")
    p.add_argument("--runs", type=int, default=200)
    p.add_argument("--loop-runs", type=int, default=None,
                   help="runs of the plain loop (default: --runs); its rate is per run")
    p.add_argument("--stop", default="1", help="stop time of each run (default 1 s)")
    args = p.parse_args()
    runner = os.path.join(args.build, "kvfmu-run", "kvfmu-run")
    sweep = os.path.join(args.build, "kvfmu-sweep", "kvfmu-sweep")
    fmu = args.fmu or os.path.join(args.build, "fmus", "MassSpringDamper.fmu")
    values = [0.1 + i * 0.01 for i in range(args.runs)]
    loop_runs = args.loop_runs or args.runs

    with tempfile.TemporaryDirectory() as work:
        runs_csv = os.path.join(work, "runs.csv")
        with open(runs_csv, "w", newline="") as f:
            writer = csv.writer(f)
            writer.writerow(["run", "c"])
            writer.writerows([f"r{i:04d}", repr(c)] for i, c in enumerate(values))

        loop = sum(timed([runner, fmu, "--stop", args.stop, "--quiet", "--param", f"c={c!r}",
                          "-o", os.path.join(work, "loop.csv")])
                   for c in values[:loop_runs])
        batch = timed([runner, fmu, "--runs", runs_csv, "--output-dir",
                       os.path.join(work, "batch"), "--stop", args.stop, "--quiet"])
        sweeps = {}
        for workers in (1, 2):
            sweeps[workers] = timed(
                [sys.executable, sweep, fmu, "--runs", runs_csv, "--stop", args.stop,
                 "--workers", str(workers), "-o", os.path.join(work, f"sweep{workers}"),
                 "--no-plot", "--quiet", "--runner", runner],
                stderr=subprocess.DEVNULL)

    rate = {"loop of kvfmu-run processes": loop_runs / loop,
            "kvfmu-run --runs (batch mode)": args.runs / batch,
            "kvfmu-sweep, 1 worker": args.runs / sweeps[1],
            "kvfmu-sweep, 2 workers": args.runs / sweeps[2]}
    print(f"{args.runs} runs of {os.path.basename(fmu)} to t = {args.stop} s "
          f"(loop: {loop_runs} runs)")
    for what, value in rate.items():
        print(f"  {what:32s} {value:7.1f} runs/s")
    print(f"  batch / loop                     {rate['kvfmu-run --runs (batch mode)'] / rate['loop of kvfmu-run processes']:7.1f}x")
    print(f"  sweep 2 workers / 1 worker       {sweeps[1] / sweeps[2]:7.2f}x")
    print(f"  sweep overhead per run over batch (1 worker): "
          f"{(sweeps[1] - batch) / args.runs * 1000:.1f} ms")


if __name__ == "__main__":
    main()
