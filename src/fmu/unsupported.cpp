// FMU state and directional derivatives: not provided by this model.
#include "checks.h"
#include "state_masks.h"
#include "trace.h"

fmi2Status fmi2GetFMUstate(fmi2Component c, fmi2FMUstate*) {
    debugTrace(L"fmi2GetFMUstate");
    return unsupportedFunction(static_cast<FmuInstance*>(c), "fmi2GetFMUstate", maskFmuState);
}

fmi2Status fmi2SetFMUstate(fmi2Component c, fmi2FMUstate) {
    debugTrace(L"fmi2SetFMUstate");
    return unsupportedFunction(static_cast<FmuInstance*>(c), "fmi2SetFMUstate", maskFmuState);
}

fmi2Status fmi2FreeFMUstate(fmi2Component c, fmi2FMUstate*) {
    debugTrace(L"fmi2FreeFMUstate");
    return unsupportedFunction(static_cast<FmuInstance*>(c), "fmi2FreeFMUstate", maskFmuState);
}

fmi2Status fmi2SerializedFMUstateSize(fmi2Component c, fmi2FMUstate, size_t*) {
    debugTrace(L"fmi2SerializedFMUstateSize");
    return unsupportedFunction(static_cast<FmuInstance*>(c), "fmi2SerializedFMUstateSize",
                               maskFmuState);
}

fmi2Status fmi2SerializeFMUstate(fmi2Component c, fmi2FMUstate, fmi2Byte[], size_t) {
    debugTrace(L"fmi2SerializeFMUstate");
    return unsupportedFunction(static_cast<FmuInstance*>(c), "fmi2SerializeFMUstate",
                               maskFmuState);
}

fmi2Status fmi2DeSerializeFMUstate(fmi2Component c, const fmi2Byte[], size_t, fmi2FMUstate*) {
    debugTrace(L"fmi2DeSerializeFMUstate");
    return unsupportedFunction(static_cast<FmuInstance*>(c), "fmi2DeSerializeFMUstate",
                               maskFmuState);
}

fmi2Status fmi2GetDirectionalDerivative(fmi2Component c, const fmi2ValueReference[], size_t,
                                        const fmi2ValueReference[], size_t, const fmi2Real[],
                                        fmi2Real[]) {
    debugTrace(L"fmi2GetDirectionalDerivative");
    return unsupportedFunction(static_cast<FmuInstance*>(c), "fmi2GetDirectionalDerivative",
                               maskGetDirectionalDerivative);
}
