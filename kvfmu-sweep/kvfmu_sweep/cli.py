"""kvfmu-sweep's command line."""

import argparse
import os
import shutil
import signal
import sys

from . import sampling
from .sampling import SweepInputError

EXIT_OK, EXIT_RUNS_FAILED, EXIT_USAGE, EXIT_CLUSTER, EXIT_INTERRUPTED = 0, 1, 2, 3, 130

DESCRIPTION = """\
Runs an FMU many times on a Dask cluster, each run with its own parameter or constant-input
values, and gathers the final outputs into DIR/summary.csv."""

EPILOG = """\
runs (give one of --grid, --sample, --runs):
  --grid "k=1:10:5"        5 values evenly spaced from 1 to 10
  --grid "c=0.1,0.2,0.4"   the values listed; several --grid make the full grid
  --sample "k=uniform(1,10)"       uniform between LOW and HIGH
  --sample "c=normal(0.2,0.05)"    normal with MEAN and standard deviation SD
  --sample "m=lognormal(0,0.25)"   exp of a normal with MU and SIGMA
      with --lhs N (Latin hypercube) or --monte-carlo N (independent draws), and --seed S
  --runs runs.csv          a header row with an optional column "run" (the run id) and one
                           column per parameter or input, then one row per run

summary.csv: run, each swept name, status (ok or failed), error, wall_seconds, then the final
value of each output.

exit codes: 0 every run ended ok, 1 some runs failed (see the summary), 2 bad command line,
FMU or runs, 3 the cluster cannot be started or reached, 130 interrupted by Ctrl-C, SIGTERM
or SIGHUP (the summary keeps the runs that finished)."""


def positive_int(text):
    value = int(text)
    if value < 1:
        raise argparse.ArgumentTypeError(f"{text} is not a whole number of at least 1")
    return value


def positive_float(text):
    value = float(text)
    if not value > 0:
        raise argparse.ArgumentTypeError(f"{text} is not a number above 0")
    return value


def parser():
    p = argparse.ArgumentParser(prog="kvfmu-sweep", description=DESCRIPTION, epilog=EPILOG,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("fmu", metavar="FMU", help="the .fmu to run")
    runs = p.add_argument_group("runs")
    runs.add_argument("--grid", action="append", default=[], metavar="NAME=VALUES",
                      help="a parameter's values: NAME=FROM:TO:COUNT or NAME=V1,V2,... (repeatable)")
    runs.add_argument("--sample", action="append", default=[], metavar="NAME=DIST",
                      help="a parameter's distribution: NAME=uniform(LOW,HIGH), NAME=normal(MEAN,SD) "
                           "or NAME=lognormal(MU,SIGMA) (repeatable)")
    count = runs.add_mutually_exclusive_group()
    count.add_argument("--lhs", type=positive_int, metavar="N", help="N Latin hypercube samples")
    count.add_argument("--monte-carlo", type=positive_int, metavar="N", help="N random samples")
    runs.add_argument("--seed", type=int, default=1, help="seed of the samples (default 1)")
    runs.add_argument("--runs", metavar="FILE.csv", help="the runs, one row each")
    out = p.add_argument_group("results")
    out.add_argument("-o", "--output-dir", required=True, metavar="DIR",
                     help="where summary.csv, the plot and kept trajectories go")
    out.add_argument("--keep-trajectories", action="store_true",
                     help="keep every run's results over time, in DIR/runs/RUN/trajectory.csv")
    out.add_argument("--plot", metavar="FILE", help="the plot, .png or .svg (default DIR/sweep.png)")
    out.add_argument("--no-plot", action="store_true", help="no plot")
    out.add_argument("--plot-output", metavar="NAME", help="the output plotted (default: the first)")
    out.add_argument("--plot-group", metavar="NAME",
                     help="a swept name: one line per value of it instead of points")
    out.add_argument("-q", "--quiet", action="store_true", help="no progress bar and no summary")
    where = p.add_argument_group("cluster")
    where.add_argument("--scheduler", metavar="tcp://HOST:PORT",
                       help="an existing Dask scheduler (default: a local cluster)")
    where.add_argument("--scheduler-file", metavar="FILE", help="an existing scheduler's file")
    where.add_argument("--workers", type=positive_int, metavar="N",
                       help="worker processes of the local cluster (default: one per core)")
    where.add_argument("--chunk-size", type=positive_int, metavar="N",
                       help="runs per kvfmu-run process (default: one chunk per worker, "
                            "at most 100 runs)")
    where.add_argument("--runner", metavar="PATH",
                       help="kvfmu-run on the workers (default: the one installed with this "
                            "tool; a worker without it there uses kvfmu-run on its PATH)")
    run = p.add_argument_group("each run (passed to kvfmu-run)")
    run.add_argument("--input", metavar="FILE.csv", help="input values over time")
    run.add_argument("--start", type=float, metavar="SECONDS")
    run.add_argument("--stop", type=float, metavar="SECONDS")
    run.add_argument("--step", type=float, metavar="SECONDS")
    run.add_argument("--run-timeout", type=positive_float, metavar="SECONDS",
                     help="a run taking longer fails; the chunk goes on in a new process")
    run.add_argument("--vm-option", action="append", default=[], metavar="OPTION",
                     help="a Java VM option (repeatable)")
    return p


def default_runner(launcher_dir):
    """kvfmu-run installed beside this tool, or in the build tree beside its folder."""
    for candidate in (os.path.join(launcher_dir, "kvfmu-run"),
                      os.path.join(launcher_dir, os.pardir, "kvfmu-run", "kvfmu-run")):
        if os.path.isfile(candidate) and os.access(candidate, os.X_OK):
            return os.path.abspath(candidate)
    return shutil.which("kvfmu-run") or "kvfmu-run"


def run_table(args):
    sources = sum(bool(x) for x in (args.grid, args.sample, args.runs))
    if sources != 1:
        raise SweepInputError("give the runs with one of --grid, --sample or --runs")
    if (args.lhs or args.monte_carlo) and not args.sample:
        raise SweepInputError("--lhs and --monte-carlo go with --sample")
    if args.grid:
        return sampling.grid_runs(args.grid)
    if args.sample:
        if not (args.lhs or args.monte_carlo):
            raise SweepInputError("--sample needs the number of samples: --lhs N or --monte-carlo N")
        return sampling.sampled_runs(args.sample, args.lhs or args.monte_carlo, args.seed,
                                     latin_hypercube=bool(args.lhs))
    return sampling.file_runs(args.runs)


def run_args(args):
    out = []
    for option in ("start", "stop", "step"):
        value = getattr(args, option)
        if value is not None:
            out += [f"--{option}", sampling.format_number(value)]
    for option in args.vm_option:
        out.append(f"--vm-option={option}")
    return out


def _interrupt(signum, frame):
    raise KeyboardInterrupt


def main(argv=None, launcher_dir=None):
    args = parser().parse_args(argv)
    # Ended by a service manager or a closed terminal: cancel as for Ctrl-C, so that no
    # worker or kvfmu-run process is left behind.
    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, _interrupt)
    launcher_dir = launcher_dir or os.path.dirname(os.path.abspath(sys.argv[0]))
    try:
        return sweep(args, launcher_dir)
    except SweepInputError as e:
        print(f"kvfmu-sweep: error: {e}", file=sys.stderr)
        return EXIT_USAGE


def sweep(args, launcher_dir):
    from .cluster import ClusterError, connected
    from .fmu_info import read_fmu
    from .sweep import SweepSettings, run_sweep

    if args.scheduler and args.scheduler_file:
        raise SweepInputError("give --scheduler or --scheduler-file, not both")
    if args.workers and (args.scheduler or args.scheduler_file):
        raise SweepInputError("--workers sets up a local cluster; an existing one has its own workers")
    table = run_table(args)
    fmu = read_fmu(args.fmu)
    fmu.check_names(table.names)
    plot_path = None
    if not args.no_plot:
        plot_path = args.plot or os.path.join(args.output_dir, "sweep.png")
        if os.path.splitext(plot_path)[1].lower() not in (".png", ".svg"):
            raise SweepInputError(f"--plot {plot_path}: the file name must end in .png or .svg")
        if not fmu.outputs:
            raise SweepInputError(f"{args.fmu}: no outputs to plot; give --no-plot")
    plot_output = args.plot_output or (fmu.outputs[0] if fmu.outputs else None)
    if args.plot_output and args.plot_output not in fmu.outputs:
        raise SweepInputError(f"--plot-output {args.plot_output}: no such output "
                              f"(outputs: {', '.join(fmu.outputs)})")
    if args.plot_group and args.plot_group not in table.names:
        raise SweepInputError(f"--plot-group {args.plot_group}: not a swept name")
    input_data = None
    if args.input:
        try:
            with open(args.input, "rb") as f:
                input_data = f.read()
        except OSError as e:
            raise SweepInputError(f"{args.input}: cannot read: {e.strerror}") from None
    runner = args.runner or default_runner(launcher_dir)
    if os.sep in runner and os.path.exists(runner):
        runner = os.path.abspath(runner)  # the workers run it from folders of their own
    settings = SweepSettings(
        runner=runner, run_args=run_args(args),
        input_data=input_data, run_timeout=args.run_timeout, chunk_size=args.chunk_size,
        keep_trajectories=args.keep_trajectories, plot_trajectories=plot_path is not None)
    try:
        os.makedirs(args.output_dir, exist_ok=True)
    except OSError as e:
        raise SweepInputError(f"{args.output_dir}: cannot make the folder: {e.strerror}") from None

    progress = None
    if not args.quiet:
        from tqdm import tqdm
        progress = tqdm(total=len(table), unit="run", desc="runs", file=sys.stderr)
    try:
        with connected(args.scheduler, args.scheduler_file, args.workers) as client:
            result = run_sweep(client, fmu, table, settings, args.output_dir, progress)
    except ClusterError as e:
        if progress is not None:
            progress.close()
        print(f"kvfmu-sweep: error: {e}", file=sys.stderr)
        return EXIT_CLUSTER
    except KeyboardInterrupt:
        summary = os.path.join(args.output_dir, "summary.csv")
        print(f"\nkvfmu-sweep: interrupted; the runs that finished are in {summary}",
              file=sys.stderr)
        return EXIT_INTERRUPTED

    if plot_path:
        from .plot import write_plot
        from .sweep import plotted_runs
        order = {run_id: i for i, run_id in enumerate(table.run_ids)}
        shown = plotted_runs(sorted(result.trajectories, key=order.get))
        write_plot(plot_path, result.summary_path, table.names, plot_output,
                   {r: result.trajectories[r] for r in shown}, args.plot_group, fmu.units)
    if not args.quiet:
        print(f"kvfmu-sweep: {len(table)} runs of {fmu.model_name}: {result.ok} ok, "
              f"{result.failed} failed, in {result.processes} kvfmu-run processes")
        print(f"  summary: {result.summary_path}")
        if plot_path:
            print(f"  plot:    {plot_path}")
        if args.keep_trajectories:
            print(f"  trajectories: {os.path.join(args.output_dir, 'runs')}/RUN/trajectory.csv")
    return EXIT_RUNS_FAILED if result.failed else EXIT_OK
