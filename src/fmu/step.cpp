// fmi2DoStep: one synchronous communication step on the server.
#include "checks.h"
#include "logging.h"
#include "state_masks.h"
#include "trace.h"

#include "facade.h"
#include "java_vm.h"
#include "server_exchange.h"

fmi2Status fmi2DoStep(fmi2Component c, fmi2Real currentCommunicationPoint,
                      fmi2Real communicationStepSize, fmi2Boolean noSetFMUStatePriorToCurrentPoint) {
    debugTrace(L"fmi2DoStep");
    auto* comp = static_cast<FmuInstance*>(c);
    if (invalidState(comp, "fmi2DoStep", maskDoStep)) return fmi2Error;
    logCall(comp,
            "fmi2DoStep: currentCommunicationPoint = %g, communicationStepSize = %g, "
            "noSetFMUStatePriorToCurrentPoint = fmi2%s",
            currentCommunicationPoint, communicationStepSize,
            noSetFMUStatePriorToCurrentPoint ? "True" : "False");
    if (communicationStepSize <= 0) {
        logErrorLine(comp, "fmi2DoStep: communication step size must be > 0. Fount %g.",
                     communicationStepSize);
        comp->state = modelError;
        return fmi2Error;
    }
    comp->time = currentCommunicationPoint;
    if (stepModel(comp, communicationStepSize) != fmi2OK) {
        debugTrace(L"stepModel did not return fmi2OK");
        // The bridge's own reason or the server's, which the step asked for itself.
        logErrorLine(comp, "Error: %s", LastError.c_str());
        comp->state = modelError;
        return fmi2Error;
    }
    return fmi2OK;
}
