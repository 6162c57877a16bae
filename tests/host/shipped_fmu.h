// The shipped libkvfmu.so as a host sees it: loaded with dlopen, its FMI functions looked
// up by name.
#pragma once

#include "fmi2_functions.h"

struct Fmu {
    void* handle;
    decltype(&fmi2Instantiate) instantiate;
    decltype(&fmi2SetupExperiment) setupExperiment;
    decltype(&fmi2EnterInitializationMode) enterInitializationMode;
    decltype(&fmi2ExitInitializationMode) exitInitializationMode;
    decltype(&fmi2SetReal) setReal;
    decltype(&fmi2GetReal) getReal;
    decltype(&fmi2DoStep) doStep;
    decltype(&fmi2Terminate) terminate;
    decltype(&fmi2FreeInstance) freeInstance;
    decltype(&fmi2GetVersion) getVersion;
};

// The library at the path; handle is null when loading failed (dlerror() says why).
Fmu loadFmu(const char* path);

// The library of this build (KVFMU_SHARED_LIBRARY), loaded on first use.
const Fmu& fmu();
