// The last experiment set-up of each live instance. fmi2Reset hands it to the library again:
// the server learns of a new run through a new set-up (its reads in initialization mode then
// give the new run's initial outputs), and a host may initialize after a reset without one,
// the last start and stop time holding.
#pragma once

#include "fmi2_functions.h"

#include <optional>

struct ExperimentSetup {
    fmi2Boolean toleranceDefined;
    fmi2Real tolerance;
    fmi2Real startTime;
    fmi2Boolean stopTimeDefined;
    fmi2Real stopTime;
};

void rememberSetup(fmi2Component component, const ExperimentSetup& setup);
std::optional<ExperimentSetup> lastSetup(fmi2Component component);
// When the instance is freed: its address may serve a new one.
void forgetSetup(fmi2Component component);
