"""kvfmu-sweep: parameter sweeps and Monte Carlo studies of an FMU on a Dask cluster."""
