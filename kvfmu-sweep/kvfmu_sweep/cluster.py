"""The Dask cluster a sweep runs on: an existing one, or a local cluster of its own."""

import logging
import os
import signal
from contextlib import contextmanager

from distributed import Nanny, Scheduler, SpecCluster, Worker

# A chunk is run again each time the worker running it is lost, and given up (its runs
# failed) when it has lost this many workers and loses one more. Dask's own setting, set
# for a local cluster; an existing scheduler keeps its own.
ALLOWED_FAILURES = 3
ALLOWED_FAILURES_KEY = "distributed.scheduler.allowed-failures"


# Dask's sampling profiler (every 10 ms, in the scheduler and each worker) and its system
# monitor serve a dashboard, which a local sweep does not have; its event-loop watch (every
# 20 ms) and memory watch (every 100 ms) need not be that keen on workers whose tasks only feed
# a runner process. An idle two-worker cluster took 60 ms of processor time a second with
# Dask's defaults and 16 ms with these, time that a sweep's runs compete for.
LOCAL_CLUSTER_CONFIG = {
    "distributed.worker.profile.enabled": False,
    "distributed.admin.system-monitor.interval": "2s",
    "distributed.admin.tick.interval": "1s",
    "distributed.worker.memory.monitor-interval": "1s",
}


class ClusterError(RuntimeError):
    pass


class _QuietScheduler(Scheduler):
    """A scheduler without an HTTP server: a local sweep has no dashboard, and two sweeps at
    once would compete for its port."""

    def start_http_server(self, *args, **kwargs):
        pass


class _QuietWorker(Worker):
    def start_http_server(self, *args, **kwargs):
        pass


def local_cluster(workers):
    """Worker processes (each under a nanny, one thread each) and their scheduler on
    127.0.0.1. The workers ignore Ctrl-C at the terminal: the client alone decides, and ends
    them."""
    import dask
    quiet = {"silence_logs": logging.ERROR}
    previous = signal.signal(signal.SIGINT, signal.SIG_IGN)  # inherited by the workers
    try:
        with dask.config.set(LOCAL_CLUSTER_CONFIG):
            return _spec_cluster(workers, quiet)
    finally:
        signal.signal(signal.SIGINT, previous)


def _spec_cluster(workers, quiet):
    return SpecCluster(
        scheduler={"cls": _QuietScheduler,
                   "options": {"host": "127.0.0.1", "dashboard": False,
                               "allowed_failures": ALLOWED_FAILURES}},
        workers={i: {"cls": Nanny, "options": dict(quiet, nthreads=1, host="127.0.0.1",
                                                  worker_class=_QuietWorker)}
                 for i in range(workers)},
        **quiet)


def allowed_failures(client):
    """The lost workers a chunk survives on the cluster behind `client`."""
    import dask
    try:
        return client.run_on_scheduler(lambda dask_scheduler: dask_scheduler.allowed_failures)
    except Exception:  # noqa: BLE001  (an older or locked-down scheduler)
        return dask.config.get(ALLOWED_FAILURES_KEY)


@contextmanager
def connected(scheduler=None, scheduler_file=None, workers=None):
    """A Dask client: of the scheduler at `scheduler` (tcp://HOST:PORT) or in
    `scheduler_file`, else of a LocalCluster with `workers` worker processes (default: one
    per core), one thread each. A local cluster is closed again with its workers. Connecting
    waits as long as Dask's distributed.comm.timeouts.connect (30 s unless configured)."""
    import dask
    from dask.utils import parse_timedelta
    from distributed import Client

    timeout = parse_timedelta(dask.config.get("distributed.comm.timeouts.connect"))
    # The workers' warnings (a lost worker, a restarted nanny) are not the user's business;
    # their effects on runs are in the summary.
    for name in ("distributed", "distributed.nanny", "distributed.scheduler", "distributed.worker"):
        logging.getLogger(name).setLevel(logging.ERROR)
    cluster, client = None, None
    try:
        if scheduler_file:
            client = Client(scheduler_file=scheduler_file, timeout=timeout)
        elif scheduler:
            client = Client(scheduler, timeout=timeout)
        else:
            cluster = local_cluster(workers or os.cpu_count() or 1)
            client = Client(cluster)
        if cluster is None and not client.scheduler_info().get("workers"):
            client.wait_for_workers(1, timeout=timeout)
    except OSError as e:  # TimeoutError included
        if client is not None:
            client.close()
        if cluster is not None:
            cluster.close()
        where = scheduler_file or scheduler or "a local cluster"
        raise ClusterError(f"cannot reach {where}: {e}") from None
    try:
        yield client
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
