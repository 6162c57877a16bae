// The FMI functions the stand-in cases call, reached the way the program's build reaches
// the library: linked in, or looked up in the shipped shared library.
#pragma once

#include "fmi2_functions.h"

#define KVFMU_STANDIN_FMI_FUNCTIONS(X) \
    X(fmi2Instantiate)                 \
    X(fmi2SetupExperiment)             \
    X(fmi2EnterInitializationMode)     \
    X(fmi2ExitInitializationMode)      \
    X(fmi2SetReal)                     \
    X(fmi2GetReal)                     \
    X(fmi2DoStep)                      \
    X(fmi2Terminate)                   \
    X(fmi2FreeInstance)                \
    X(fmi2EnterEventMode)              \
    X(fmi2NewDiscreteStates)           \
    X(fmi2EnterContinuousTimeMode)     \
    X(fmi2CompletedIntegratorStep)     \
    X(fmi2SetTime)                     \
    X(fmi2GetEventIndicators)

struct FmiFunctions {
#define KVFMU_STANDIN_FMI_MEMBER(name) decltype(&::name) name;
    KVFMU_STANDIN_FMI_FUNCTIONS(KVFMU_STANDIN_FMI_MEMBER)
#undef KVFMU_STANDIN_FMI_MEMBER
};

// Every member set; the test fails at the first call otherwise.
const FmiFunctions& fmi();
