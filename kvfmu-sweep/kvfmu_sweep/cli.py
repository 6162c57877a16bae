"""kvfmu-sweep's command line."""

import argparse
import os
import shutil
import signal
import sys

from . import sampling
from .sampling import SweepInputError

from . import exit_codes

EXIT_OK, EXIT_RUNS_FAILED, EXIT_CLUSTER = exit_codes.OK, 1, 3
EXIT_USAGE, EXIT_INTERRUPTED = exit_codes.USAGE, exit_codes.INTERRUPTED

DESCRIPTION = """\
Runs an FMU many times on a Dask cluster, each run with its own parameter or constant-input
values, and gathers each run's results into DIR/summary.csv and their statistics into
DIR/statistics.csv."""

EPILOG = """\
runs (give --grid, --sample or both, or --runs):
  --grid "k=1:10:5"        5 values evenly spaced from 1 to 10
  --grid "c=0.1,0.2,0.4"   the values listed; several --grid make the full grid
  --sample "k=uniform(1,10)"       uniform between LOW and HIGH
  --sample "c=normal(0.2,0.05)"    normal with MEAN and standard deviation SD
  --sample "m=lognormal(0,0.25)"   exp of a normal with MU and SIGMA
  --sample "R=truncnormal(100,10,80,120)"  normal with MEAN and SD, cut to LOW..HIGH
  --sample "k=loguniform(0.01,100)"        uniform in the logarithm, LOW..HIGH above 0
      with --lhs N (Latin hypercube) or --monte-carlo N (independent draws), and --seed S;
      with --grid too, every grid point is run with every sample
  --runs runs.csv          a header row with an optional column "run" (the run id) and one
                           column per parameter or input, then one row per run
  --set "m=2"              a parameter or constant input held for every run

results (--metric, repeatable; default: final:NAME of every output):
  final:x   the value at the end      max:x, min:x   the largest, the smallest value
  mean:x    the mean over time        integral:x     the integral over time
  at:T:x    the value at time T (between the values around it)

summary.csv: run, each swept name, status (ok or failed), error, wall_seconds, then one column
per result: named as the output for the default, else as the --metric.
statistics.csv: per result, over the runs that ended ok: count, mean, std, p5, p50, p95; with
--lhs or --monte-carlo also rank_correlation:NAME (Spearman) with every swept name.

A chunk whose worker is lost runs again on another; after 3 lost workers a chunk is given up
(Dask's distributed.scheduler.allowed-failures, set to 3 on a local cluster).

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
    runs.add_argument("--set", action="append", default=[], metavar="NAME=VALUE",
                      help="a parameter or constant input held for every run (repeatable)")
    out = p.add_argument_group("results")
    out.add_argument("-o", "--output-dir", required=True, metavar="DIR",
                     help="where summary.csv, the plot and kept trajectories go")
    out.add_argument("--metric", action="append", default=[], metavar="KIND:NAME",
                     help="a result of each run: final:NAME, max:NAME, min:NAME, mean:NAME, "
                          "integral:NAME or at:T:NAME (repeatable; default: final of every output)")
    out.add_argument("--keep-trajectories", action="store_true",
                     help="keep every run's results over time, in DIR/runs/RUN/trajectory.csv")
    out.add_argument("--plot", metavar="FILE", help="the plot, .png or .svg (default DIR/sweep.png)")
    out.add_argument("--no-plot", action="store_true", help="no plot")
    out.add_argument("--plot-output", metavar="NAME",
                     help="the result plotted, an output or a --metric (default: the first)")
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
                       help="runs sent to a worker at once (default: four chunks per "
                            "worker, at most 100 runs)")
    where.add_argument("--runner", metavar="PATH",
                       help="kvfmu-run on the workers (default: the one installed with this "
                            "tool; a worker without it there uses kvfmu-run on its PATH)")
    run = p.add_argument_group("each run (passed to kvfmu-run)")
    run.add_argument("--input", metavar="FILE.csv", help="input values over time")
    run.add_argument("--start", type=float, metavar="SECONDS")
    run.add_argument("--stop", type=float, metavar="SECONDS")
    run.add_argument("--step", type=float, metavar="SECONDS")
    run.add_argument("--run-timeout", type=positive_float, metavar="SECONDS",
                     help="a run taking longer fails; the rest go on in a new kvfmu-run process")
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
    if bool(args.grid or args.sample) == bool(args.runs):
        raise SweepInputError("give the runs with --grid, --sample (or both) or --runs")
    if (args.lhs or args.monte_carlo) and not args.sample:
        raise SweepInputError("--lhs and --monte-carlo go with --sample")
    if args.sample and not (args.lhs or args.monte_carlo):
        raise SweepInputError("--sample needs the number of samples: --lhs N or --monte-carlo N")
    if args.runs:
        return sampling.file_runs(args.runs)
    grid = sampling.grid_runs(args.grid) if args.grid else None
    sample = None
    if args.sample:
        sample = sampling.sampled_runs(args.sample, args.lhs or args.monte_carlo, args.seed,
                                       latin_hypercube=bool(args.lhs))
    if grid and sample:
        return sampling.crossed(grid, sample)
    return grid or sample


def held_values(args, fmu, table):
    """kvfmu-run's options for --set: --param for a parameter, --set for an input."""
    out, seen = [], set()
    for assignment in args.set:
        name, value = sampling.parse_held(assignment)
        if name in seen or name in table.names:
            raise SweepInputError(f'--set "{assignment}": {name} is given twice')
        seen.add(name)
        fmu.check_names([name])
        option = "--set" if name in fmu.inputs else "--param"
        out.append(f"{option}={name}={sampling.format_number(value)}")
    return out


def result_metrics(args, fmu):
    from . import metrics
    if not args.metric:
        return None
    try:
        parsed = [metrics.parse(text, fmu.outputs) for text in args.metric]
    except metrics.MetricError as e:
        raise SweepInputError(str(e)) from None
    columns = [m[0] for m in parsed]
    for column in columns:
        if columns.count(column) > 1:
            raise SweepInputError(f'--metric "{column}" is given twice')
    return parsed


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
    held = held_values(args, fmu, table)
    chosen_metrics = result_metrics(args, fmu)
    results = [m[0] for m in chosen_metrics] if chosen_metrics else list(fmu.outputs)
    plot_path = None
    if not args.no_plot:
        plot_path = args.plot or os.path.join(args.output_dir, "sweep.png")
        if os.path.splitext(plot_path)[1].lower() not in (".png", ".svg"):
            raise SweepInputError(f"--plot {plot_path}: the file name must end in .png or .svg")
        if not results:
            raise SweepInputError(f"{args.fmu}: no outputs to plot; give --no-plot")
    plot_result = args.plot_output or (results[0] if results else None)
    if args.plot_output and args.plot_output not in results:
        raise SweepInputError(f"--plot-output {args.plot_output}: no such result "
                              f"(results: {', '.join(results)})")
    plot_variable = plot_result
    if chosen_metrics and plot_result:
        plot_variable = next(m[2] for m in chosen_metrics if m[0] == plot_result)
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
    each_run = run_args(args) + held
    checked(runner, args, table, each_run)
    settings = SweepSettings(
        runner=runner, run_args=each_run, metrics=chosen_metrics,
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
            from .cluster import allowed_failures
            result = run_sweep(client, fmu, table, settings, args.output_dir, progress)
            survived = allowed_failures(client) if result.rerun_chunks or result.given_up_chunks else None
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

    from .statistics import write_statistics
    statistics_path = os.path.join(args.output_dir, "statistics.csv")
    write_statistics(statistics_path, result.summary_path, table.names,
                     results, rank_correlations=bool(args.lhs or args.monte_carlo))
    plot_note = None
    if plot_path and result.ok == 0:
        plot_note = "no plot: no run ended ok"
        plot_path = None
    if plot_path:
        from .plot import write_plot
        from .sweep import plotted_runs
        order = {run_id: i for i, run_id in enumerate(table.run_ids)}
        shown = plotted_runs(sorted(result.trajectories, key=order.get))
        write_plot(plot_path, result.summary_path, table.names, plot_result,
                   {r: result.trajectories[r] for r in shown}, args.plot_group, fmu.units,
                   variable=plot_variable)
    if not args.quiet:
        print(f"kvfmu-sweep: {len(table)} runs of {fmu.model_name}: {result.ok} ok, "
              f"{result.failed} failed, in {result.processes} kvfmu-run "
              f"process{'es' if result.processes != 1 else ''}")
        if result.rerun_chunks:
            print(f"  {result.lost_workers} worker{'s' if result.lost_workers != 1 else ''} lost; "
                  f"{result.rerun_chunks} chunk{'s' if result.rerun_chunks != 1 else ''} run again")
        if result.given_up_chunks:
            print(f"  {result.given_up_chunks} chunk{'s' if result.given_up_chunks != 1 else ''} "
                  f"given up, each after {survived + 1} lost workers (their runs failed)")
        print(f"  summary:    {result.summary_path}")
        print(f"  statistics: {statistics_path}")
        if plot_path:
            print(f"  plot:       {plot_path}")
        if plot_note:
            print(f"  {plot_note}")
        if args.keep_trajectories:
            print(f"  trajectories: {os.path.join(args.output_dir, 'runs')}/RUN/trajectory.csv")
    return EXIT_RUNS_FAILED if result.failed else EXIT_OK


def checked(runner, args, table, each_run):
    """Has kvfmu-run check the runs, the input file and the options, as it would before
    starting (no Java VM): refused input names the user's file and line, before any cluster
    starts. A runner that is not on this machine (only on the workers) checks nothing."""
    import subprocess
    import tempfile
    path = runner if os.sep in runner else shutil.which(runner)
    if not path or not os.access(path, os.X_OK):
        return
    with tempfile.TemporaryDirectory(prefix="kvfmu-sweep-check-") as folder:
        runs_file = args.runs if args.runs and sampling.has_run_column(args.runs) else None
        if runs_file is None:
            runs_file = os.path.join(folder, "runs.csv")
            sampling.write_runs(runs_file, table)
        command = [path, args.fmu, "--check", "--runs", runs_file] + each_run
        if args.input:
            command += ["--input", args.input]
        done = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True,
                              text=True, errors="replace")
    if done.returncode == exit_codes.OK:
        return
    lines = [line.strip() for line in done.stderr.splitlines() if line.strip()]
    what = "; ".join(line.split("error: ", 1)[-1] for line in lines) or \
        f"kvfmu-run --check ended with exit code {done.returncode}"
    if runs_file != args.runs:
        what = what.replace(runs_file, f"the runs of {args.runs}" if args.runs
                            else "the runs of --grid/--sample")
    raise SweepInputError(what)
