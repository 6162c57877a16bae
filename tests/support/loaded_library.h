// The shipped libkvfmu.so loaded with dlopen as a host loads an FMU's binary, with the FMI
// functions the host tests call looked up by name.
#pragma once

#include "fmi2_functions.h"

struct LoadedFmu {
    void* handle;
    decltype(&fmi2Instantiate) instantiate;
    decltype(&fmi2SetupExperiment) setupExperiment;
    decltype(&fmi2EnterInitializationMode) enterInitializationMode;
    decltype(&fmi2ExitInitializationMode) exitInitializationMode;
    decltype(&fmi2SetReal) setReal;
    decltype(&fmi2GetReal) getReal;
    decltype(&fmi2DoStep) doStep;
    decltype(&fmi2Terminate) terminate;
    decltype(&fmi2Reset) reset;
    decltype(&fmi2FreeInstance) freeInstance;
    decltype(&fmi2GetVersion) getVersion;
};

// The library at the path, opened on every call (dlopen of a path already open gives that
// library again), e.g. to load two builds side by side; handle is null when dlopen failed.
LoadedFmu openFmu(const char* path);

// The library at the path, loaded once per process; handle is null when dlopen failed
// (dlerror() says why).
const LoadedFmu& loadedFmu(const char* path);
