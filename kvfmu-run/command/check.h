// --check: every check a run or a batch makes before it starts, without starting the Java
// VM or running anything, so that bad input is refused before work is handed out.
#pragma once

#include "options.h"

// Returns when a run with these options would start; throws the RunError the run would.
void checkRun(const RunOptions& options);
