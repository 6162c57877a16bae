// Batch mode: many runs of one FMU in one process, with one Java VM. Each run is a fresh
// instance with its own parameter and constant input values from the runs file; each
// writes DIR/<run>.csv, and DIR/summary.csv gets a row per run as it ends.
#pragma once

#include "options.h"

// Throws RunError: for what is wrong before the first run, when a run is interrupted, and
// ExitCode::batchRunsFailed at the end when some runs failed.
void runBatch(const RunOptions& options);
