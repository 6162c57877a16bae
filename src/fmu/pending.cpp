// Entry points whose server work is not wired in yet: they refuse every call.
#include "checks.h"
#include "state_masks.h"
#include "trace.h"

namespace {
FmuInstance* instance(fmi2Component c) { return static_cast<FmuInstance*>(c); }
}  // namespace

fmi2Component fmi2Instantiate(fmi2String, fmi2Type, fmi2String, fmi2String,
                              const fmi2CallbackFunctions*, fmi2Boolean, fmi2Boolean) {
    debugTrace(L"fmi2Instantiate");
    return nullptr;
}

void fmi2FreeInstance(fmi2Component c) {
    debugTrace(L"fmi2FreeInstance");
    if (c) unsupportedFunction(instance(c), "fmi2FreeInstance", maskFreeInstanceReset);
}

fmi2Status fmi2SetupExperiment(fmi2Component c, fmi2Boolean, fmi2Real, fmi2Real, fmi2Boolean,
                               fmi2Real) {
    debugTrace(L"fmi2SetupExperiment");
    return unsupportedFunction(instance(c), "fmi2SetupExperiment", maskSetupExperiment);
}


fmi2Status fmi2ExitInitializationMode(fmi2Component c) {
    debugTrace(L"fmi2ExitInitializationMode");
    return unsupportedFunction(instance(c), "fmi2ExitInitializationMode",
                               maskExitInitializationMode);
}

fmi2Status fmi2Terminate(fmi2Component c) {
    debugTrace(L"fmi2Terminate");
    return unsupportedFunction(instance(c), "fmi2Terminate", maskTerminate);
}


fmi2Status fmi2GetReal(fmi2Component c, const fmi2ValueReference[], size_t, fmi2Real[]) {
    return unsupportedFunction(instance(c), "fmi2GetReal", maskGetValues);
}
fmi2Status fmi2GetInteger(fmi2Component c, const fmi2ValueReference[], size_t, fmi2Integer[]) {
    return unsupportedFunction(instance(c), "fmi2GetInteger", maskGetValues);
}
fmi2Status fmi2GetBoolean(fmi2Component c, const fmi2ValueReference[], size_t, fmi2Boolean[]) {
    return unsupportedFunction(instance(c), "fmi2GetBoolean", maskGetValues);
}
fmi2Status fmi2GetString(fmi2Component c, const fmi2ValueReference[], size_t, fmi2String[]) {
    return unsupportedFunction(instance(c), "fmi2GetString", maskGetValues);
}
fmi2Status fmi2SetReal(fmi2Component c, const fmi2ValueReference[], size_t, const fmi2Real[]) {
    return unsupportedFunction(instance(c), "fmi2SetReal", maskSetReal);
}
fmi2Status fmi2SetInteger(fmi2Component c, const fmi2ValueReference[], size_t,
                          const fmi2Integer[]) {
    return unsupportedFunction(instance(c), "fmi2SetInteger", maskSetIntegerBooleanString);
}
fmi2Status fmi2SetBoolean(fmi2Component c, const fmi2ValueReference[], size_t,
                          const fmi2Boolean[]) {
    return unsupportedFunction(instance(c), "fmi2SetBoolean", maskSetIntegerBooleanString);
}
fmi2Status fmi2SetString(fmi2Component c, const fmi2ValueReference[], size_t, const fmi2String[]) {
    return unsupportedFunction(instance(c), "fmi2SetString", maskSetIntegerBooleanString);
}
fmi2Status fmi2DoStep(fmi2Component c, fmi2Real, fmi2Real, fmi2Boolean) {
    debugTrace(L"fmi2DoStep");
    return unsupportedFunction(instance(c), "fmi2DoStep", maskDoStep);
}
