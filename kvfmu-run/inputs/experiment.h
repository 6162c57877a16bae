// Start, stop and step size of a run: from the command line, else the FMU's
// DefaultExperiment, else 0, start + 1 and (stop - start) / 500.
#pragma once

#include "model_description.h"
#include "options.h"

struct Experiment {
    double start = 0;
    double stop = 1;
    double step = 0.01;
};

// Throws RunError(badNumber) when stop is not after start, the step size is not positive,
// or it makes more than 10^10 steps.
Experiment experimentFor(const RunOptions& options, const DefaultExperiment& defaults);
