// A whole run of the runner: unpack the FMU, check what the command line asks against its
// model description, start the Java VM, simulate, write the results and a summary.
#pragma once

#include "options.h"

#include <csignal>

// Throws RunError for every failure; `stopRequested` becoming non-zero stops the run.
void run(const RunOptions& options, const volatile std::sig_atomic_t& stopRequested);
