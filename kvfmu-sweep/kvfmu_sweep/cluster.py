"""The Dask cluster a sweep runs on: an existing one, or a LocalCluster of its own."""

import logging
import os
from contextlib import contextmanager


class ClusterError(RuntimeError):
    pass


@contextmanager
def connected(scheduler=None, scheduler_file=None, workers=None):
    """A Dask client: of the scheduler at `scheduler` (tcp://HOST:PORT) or in
    `scheduler_file`, else of a LocalCluster with `workers` worker processes (default: one
    per core), one thread each. A LocalCluster is closed again with its workers. Connecting
    waits as long as Dask's distributed.comm.timeouts.connect (30 s unless configured)."""
    import dask
    from dask.utils import parse_timedelta
    from distributed import Client, LocalCluster

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
            cluster = LocalCluster(n_workers=workers or os.cpu_count() or 1, threads_per_worker=1,
                                   processes=True, dashboard_address=None,
                                   silence_logs=logging.ERROR)
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
