// Every exported FMI 2.0 function and getver in one table, as a host finds them in a loaded
// FMU binary (or libkvfmu) by name: the provider forwards to the table of libkvfmu, and
// kvfmu-run, the test hosts and the benchmarks call an FMU's binary through one.
#pragma once

#include "fmi2_functions.h"

#include <cstring>
#include <string>

#define KVFMU_FMI2_FUNCTIONS(X)                                                               \
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

// Null where the binary does not export the function.
struct Fmi2FunctionTable {
#define KVFMU_FMI2_TABLE_MEMBER(name) decltype(&::name) name = nullptr;
    KVFMU_FMI2_FUNCTIONS(KVFMU_FMI2_TABLE_MEMBER)
#undef KVFMU_FMI2_TABLE_MEMBER
};

// Each function looked up by its name in the library with symbol(library, name), which
// answers a void* (null when the library has no such symbol).
template <typename Library, typename Symbol>
Fmi2FunctionTable lookUpFmi2Functions(Library library, Symbol symbol) {
    Fmi2FunctionTable table;
#define KVFMU_FMI2_TABLE_LOOKUP(name) \
    table.name = reinterpret_cast<decltype(&::name)>(symbol(library, #name));
    KVFMU_FMI2_FUNCTIONS(KVFMU_FMI2_TABLE_LOOKUP)
#undef KVFMU_FMI2_TABLE_LOOKUP
    return table;
}

// The table of the functions linked into the program.
inline Fmi2FunctionTable linkedFmi2Functions() {
    Fmi2FunctionTable table;
#define KVFMU_FMI2_TABLE_LINKED(name) table.name = &::name;
    KVFMU_FMI2_FUNCTIONS(KVFMU_FMI2_TABLE_LINKED)
#undef KVFMU_FMI2_TABLE_LINKED
    return table;
}

// Whether the table has the function of that name.
inline bool hasFmi2Function(const Fmi2FunctionTable& table, const char* name) {
#define KVFMU_FMI2_TABLE_HAS(function) \
    if (std::strcmp(name, #function) == 0) return table.function != nullptr;
    KVFMU_FMI2_FUNCTIONS(KVFMU_FMI2_TABLE_HAS)
#undef KVFMU_FMI2_TABLE_HAS
    return false;
}

// The names of the functions the table lacks, comma-separated; empty when it has them all.
inline std::string missingFmi2Functions(const Fmi2FunctionTable& table) {
    std::string missing;
#define KVFMU_FMI2_TABLE_MISSING(name) \
    if (!table.name) missing += (missing.empty() ? "" : ", ") + std::string(#name);
    KVFMU_FMI2_FUNCTIONS(KVFMU_FMI2_TABLE_MISSING)
#undef KVFMU_FMI2_TABLE_MISSING
    return missing;
}
