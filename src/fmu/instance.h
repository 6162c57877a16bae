// The per-instance record that a host holds as fmi2Component, and the instance states.
#pragma once

#include "fmi2_functions.h"

#include <cstddef>
#include <cstdint>

// Exactly one bit is set at any time.
enum ModelState : int32_t {
    modelInstantiated = 0x002,
    modelInitializationMode = 0x004,
    modelEventMode = 0x008,
    modelContinuousTimeMode = 0x010,
    modelStepComplete = 0x020,
    modelStepInProgress = 0x040,
    modelStepFailed = 0x080,
    modelStepCanceled = 0x100,
    modelTerminated = 0x200,
    modelError = 0x400
};

// Index into logCategories; the names are in logCategoryNames.
enum LogCategory : int { logAll = 0, logError = 1, logFmiCall = 2, logEvent = 3 };
constexpr int logCategoryCount = 4;
extern const char* const logCategoryNames[logCategoryCount];

struct FmuInstance {
    fmi2Real* realValues;
    fmi2Integer* integerValues;
    fmi2Boolean* booleanValues;
    char** stringValues;
    fmi2Boolean* indicatorFlags;
    fmi2Real time;
    char* instanceName;
    int32_t fmuType;  // the host's fmi2Type as given, unchecked (fmi2ModelExchange or any other)
    char* fmuGUID;
    const fmi2CallbackFunctions* functions;
    fmi2Boolean loggingOn;
    fmi2Boolean logCategories[logCategoryCount];
    fmi2ComponentEnvironment componentEnvironment;
    ModelState state;
    fmi2EventInfo eventInfo;
    fmi2Boolean valuesDirty;
    fmi2Boolean newEventIteration;
    // Number of entries allocated in realValues: the server's count may change later,
    // the array does not.
    size_t realValuesLength;
    // The key of the instance on the server, unique in the process (server_keys.h); every
    // facade call names the instance by it, while the host's logger sees instanceName.
    char* serverKey;
    // The server's "number_of_outputs" as the last step, fetch or set-value check asked it:
    // fmi2SetReal tells outputs from inputs by it without a further query at every call.
    int32_t outputCount;
    fmi2Boolean outputCountKnown;
};
