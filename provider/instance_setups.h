// What the provider remembers of each live instance: the settings of the FMU it was made
// from (the start values apply again after fmi2Reset) and its last experiment set-up, which
// fmi2Reset hands the library again: the server learns of a new run through a new set-up
// (its reads in initialization mode then give the new run's initial outputs), and a host may
// initialize after a reset without one, the last start and stop time holding.
#pragma once

#include "fmi2_functions.h"
#include "provider_settings.h"

#include <memory>
#include <optional>

struct ExperimentSetup {
    fmi2Boolean toleranceDefined;
    fmi2Real tolerance;
    fmi2Real startTime;
    fmi2Boolean stopTimeDefined;
    fmi2Real stopTime;
};

struct InstanceSetup {
    std::shared_ptr<const ProviderSettings> settings;
    std::optional<ExperimentSetup> experiment;
};

void rememberInstance(fmi2Component component, std::shared_ptr<const ProviderSettings> settings);
void rememberExperiment(fmi2Component component, const ExperimentSetup& setup);
std::optional<InstanceSetup> instanceSetup(fmi2Component component);
// Before the library frees the instance: once it has, its address may serve a new instance
// on another thread, whose set-up must stay.
void forgetInstance(fmi2Component component);
