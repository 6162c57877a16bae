// Instance lifecycle after instantiation: experiment set-up, initialization, termination,
// reset and release.
#include "checks.h"
#include "instance_memory.h"
#include "logging.h"
#include "state_masks.h"
#include "trace.h"

#include "facade.h"
#include "java_vm.h"
#include "server_exchange.h"
#include "server_keys.h"

namespace {
FmuInstance* instance(fmi2Component c) { return static_cast<FmuInstance*>(c); }
}  // namespace

fmi2Status fmi2SetupExperiment(fmi2Component c, fmi2Boolean toleranceDefined, fmi2Real tolerance,
                               fmi2Real startTime, fmi2Boolean stopTimeDefined,
                               fmi2Real stopTime) {
    debugTrace(L"fmi2SetupExperiment");
    debugTraceComposed("tolerance:", tolerance, ". starttime: ", startTime,
                       ". stoptimedefined: ", stopTimeDefined, ". stoptime: ", stopTime);
    FmuInstance* comp = instance(c);
    if (invalidState(comp, "fmi2SetupExperiment", maskSetupExperiment)) return fmi2Error;
    logCall(comp, "fmi2SetupExperiment: toleranceDefined=%d tolerance=%g", toleranceDefined,
            tolerance);
    comp->time = startTime;
    if (j_doSetupExperiment(comp->serverKey, startTime, stopTimeDefined != fmi2False, stopTime))
        return fmi2OK;
    filteredLog(comp, fmi2Error, logFmiCall, "%s", LastError.c_str());
    return fmi2Error;
}

fmi2Status fmi2EnterInitializationMode(fmi2Component c) {
    debugTrace(L"fmi2EnterInitializationMode");
    FmuInstance* comp = instance(c);
    if (invalidState(comp, "fmi2EnterInitializationMode", maskEnterInitializationMode))
        return fmi2Error;
    logCall(comp, "fmi2EnterInitializationMode");
    comp->state = modelInitializationMode;
    return fmi2OK;
}

fmi2Status fmi2ExitInitializationMode(fmi2Component c) {
    debugTrace(L"fmi2ExitInitializationMode");
    FmuInstance* comp = instance(c);
    if (invalidState(comp, "fmi2ExitInitializationMode", maskExitInitializationMode))
        return fmi2Error;
    logCall(comp, "fmi2ExitInitializationMode");
    debugTrace(L"Calling doInitializeModel");
    if (!j_doInitializeModel(comp->serverKey)) {
        // The model could not start: a host must not step it or read outputs as if it had.
        logErrorLine(comp, "fmi2ExitInitializationMode: %s",
                     LastError.empty() ? "The model could not be initialized." : LastError.c_str());
        comp->state = modelError;
        return fmi2Error;
    }
    debugTrace(L"doInitializeModel returned true");
    // Still in initialization mode: this fetches the initial outputs, now that the model is
    // initialized, whatever a read during initialization mode fetched before.
    if (!calculateValues(comp)) {
        // Without them the host would read zeros as the model's initial outputs.
        logErrorLine(comp, "fmi2ExitInitializationMode: %s", LastError.c_str());
        comp->state = modelError;
        return fmi2Error;
    }
    comp->valuesDirty = fmi2False;
    if (comp->fmuType == fmi2ModelExchange) {
        comp->state = modelEventMode;
        comp->newEventIteration = fmi2True;
    } else {
        comp->state = modelStepComplete;
    }
    return fmi2OK;
}

fmi2Status fmi2Terminate(fmi2Component c) {
    debugTrace(L"fmi2Terminate");
    FmuInstance* comp = instance(c);
    if (invalidState(comp, "fmi2Terminate", maskTerminate)) return fmi2Error;
    logCall(comp, "fmi2Terminate");
    comp->state = modelTerminated;
    j_doTerminate(comp->serverKey);
    return fmi2OK;
}

fmi2Status fmi2Reset(fmi2Component c) {
    debugTrace(L"fmi2Reset");
    FmuInstance* comp = instance(c);
    if (invalidState(comp, "fmi2Reset", maskFreeInstanceReset)) return fmi2Error;
    logCall(comp, "fmi2Reset");
    comp->state = modelInstantiated;
    comp->valuesDirty = fmi2True;
    return fmi2OK;
}

void fmi2FreeInstance(fmi2Component c) {
    debugTrace(L"fmi2FreeInstance");
    FmuInstance* comp = instance(c);
    if (!comp) return;
    if (invalidState(comp, "fmi2FreeInstance", maskFreeInstanceReset)) return;
    logCall(comp, "fmi2FreeInstance");
    // The host cannot retry: it learns at least that the server keeps the instance, whose
    // key therefore stays taken.
    if (j_doFreeInstance(comp->serverKey)) {
        releaseServerKey(comp->serverKey);
    } else {
        logErrorLine(comp, "fmi2FreeInstance: The server could not be told to free instance %s.",
                     comp->instanceName);
    }
    releaseInstanceMemory(comp);
    debugTrace(L"Done");
}
