// The functions of libkvfmu, which the provider forwards every call to: one library per
// process, found loaded already (another FMU's) or loaded from beside the provider.
#pragma once

#include "fmi2_functions.h"

#include <filesystem>
#include <string>

#define KVFMU_LIBRARY_FUNCTIONS(X)                                                            \
    X(fmi2GetTypesPlatform) X(fmi2GetVersion) X(fmi2SetDebugLogging) X(fmi2Instantiate)       \
    X(fmi2FreeInstance) X(fmi2SetupExperiment) X(fmi2EnterInitializationMode)                 \
    X(fmi2ExitInitializationMode) X(fmi2Terminate) X(fmi2Reset) X(fmi2GetReal)                \
    X(fmi2GetInteger) X(fmi2GetBoolean) X(fmi2GetString) X(fmi2SetReal) X(fmi2SetInteger)     \
    X(fmi2SetBoolean) X(fmi2SetString) X(fmi2GetFMUstate) X(fmi2SetFMUstate)                  \
    X(fmi2FreeFMUstate) X(fmi2SerializedFMUstateSize) X(fmi2SerializeFMUstate)                \
    X(fmi2DeSerializeFMUstate) X(fmi2GetDirectionalDerivative) X(fmi2EnterEventMode)          \
    X(fmi2NewDiscreteStates) X(fmi2EnterContinuousTimeMode) X(fmi2CompletedIntegratorStep)    \
    X(fmi2SetTime) X(fmi2SetContinuousStates) X(fmi2GetDerivatives) X(fmi2GetEventIndicators) \
    X(fmi2GetContinuousStates) X(fmi2GetNominalsOfContinuousStates)                           \
    X(fmi2SetRealInputDerivatives) X(fmi2GetRealOutputDerivatives) X(fmi2DoStep)              \
    X(fmi2CancelStep) X(fmi2GetStatus) X(fmi2GetRealStatus) X(fmi2GetIntegerStatus)           \
    X(fmi2GetBooleanStatus) X(fmi2GetStringStatus) X(getver)

struct LibraryFunctions {
#define KVFMU_LIBRARY_FUNCTION_MEMBER(name) decltype(&::name) name = nullptr;
    KVFMU_LIBRARY_FUNCTIONS(KVFMU_LIBRARY_FUNCTION_MEMBER)
#undef KVFMU_LIBRARY_FUNCTION_MEMBER
};

// The GUID the library accepts; the provider checks the FMU's own.
constexpr const char* libraryGuid = "{BA0A9140-44D0-41C3-AAA7-C152C647039F}";

// Finds or loads the library; false with the reason when it cannot be used. The VM's
// library must be loaded first: libkvfmu needs it.
bool loadLibraryFunctions(const std::filesystem::path& folder, LibraryFunctions& functions,
                          std::string& failure);
