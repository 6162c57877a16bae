// Instance lifecycle: initialization mode and reset.
#include "checks.h"
#include "logging.h"
#include "state_masks.h"
#include "trace.h"

fmi2Status fmi2EnterInitializationMode(fmi2Component c) {
    debugTrace(L"fmi2EnterInitializationMode");
    auto* comp = static_cast<FmuInstance*>(c);
    if (invalidState(comp, "fmi2EnterInitializationMode", maskEnterInitializationMode))
        return fmi2Error;
    logCall(comp, "fmi2EnterInitializationMode");
    comp->state = modelInitializationMode;
    return fmi2OK;
}

fmi2Status fmi2Reset(fmi2Component c) {
    debugTrace(L"fmi2Reset");
    auto* comp = static_cast<FmuInstance*>(c);
    if (invalidState(comp, "fmi2Reset", maskFreeInstanceReset)) return fmi2Error;
    logCall(comp, "fmi2Reset");
    comp->state = modelInstantiated;
    comp->valuesDirty = fmi2True;
    return fmi2OK;
}
