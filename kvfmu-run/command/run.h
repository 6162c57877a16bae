// A whole run of the runner: unpack the FMU, check what the command line asks against its
// model description, start the Java VM, simulate, write the results and a summary.
#pragma once

#include "options.h"

// Throws RunError for every failure.
void run(const RunOptions& options);
