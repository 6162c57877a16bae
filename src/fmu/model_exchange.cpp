// Model exchange: the model has no continuous states and one event indicator that is
// always 0, and never asks for an event; these functions move the instance between
// event mode and continuous-time mode and answer fixed values.
#include "checks.h"
#include "logging.h"
#include "state_masks.h"
#include "trace.h"

namespace {
constexpr int numberOfStates = 0;
constexpr int numberOfEventIndicators = 1;

FmuInstance* instance(fmi2Component c) { return static_cast<FmuInstance*>(c); }
}  // namespace

fmi2Status fmi2EnterEventMode(fmi2Component c) {
    debugTrace(L"fmi2EnterEventMode");
    FmuInstance* comp = instance(c);
    if (invalidState(comp, "fmi2EnterEventMode", maskEnterEventMode)) return fmi2Error;
    logCall(comp, "fmi2EnterEventMode");
    comp->state = modelEventMode;
    comp->newEventIteration = fmi2True;
    return fmi2OK;
}

fmi2Status fmi2NewDiscreteStates(fmi2Component c, fmi2EventInfo* eventInfo) {
    debugTrace(L"fmi2NewDiscreteStates");
    FmuInstance* comp = instance(c);
    if (invalidState(comp, "fmi2NewDiscreteStates", maskNewDiscreteStates)) return fmi2Error;
    if (nullPointer(comp, "fmi2NewDiscreteStates", "eventInfo", eventInfo)) return fmi2Error;
    logCall(comp, "fmi2NewDiscreteStates");
    comp->newEventIteration = fmi2False;
    comp->eventInfo.newDiscreteStatesNeeded = fmi2False;
    comp->eventInfo.terminateSimulation = fmi2False;
    comp->eventInfo.nominalsOfContinuousStatesChanged = fmi2False;
    comp->eventInfo.valuesOfContinuousStatesChanged = fmi2False;
    comp->eventInfo.nextEventTimeDefined = fmi2False;
    debugTrace(L"eventUpdate");  // the model's event update sets nothing
    *eventInfo = comp->eventInfo;
    return fmi2OK;
}

fmi2Status fmi2EnterContinuousTimeMode(fmi2Component c) {
    debugTrace(L"fmi2EnterContinuousTimeMode");
    FmuInstance* comp = instance(c);
    if (invalidState(comp, "fmi2EnterContinuousTimeMode", maskEnterContinuousTimeMode))
        return fmi2Error;
    logCall(comp, "fmi2EnterContinuousTimeMode");
    comp->state = modelContinuousTimeMode;
    return fmi2OK;
}

fmi2Status fmi2CompletedIntegratorStep(fmi2Component c, fmi2Boolean, fmi2Boolean* enterEventMode,
                                       fmi2Boolean* terminateSimulation) {
    debugTrace(L"fmi2CompletedIntegratorStep");
    FmuInstance* comp = instance(c);
    const char* name = "fmi2CompletedIntegratorStep";
    if (invalidState(comp, name, maskCompletedIntegratorStep)) return fmi2Error;
    if (nullPointer(comp, name, "enterEventMode", enterEventMode)) return fmi2Error;
    if (nullPointer(comp, name, "terminateSimulation", terminateSimulation)) return fmi2Error;
    logCall(comp, name);
    *enterEventMode = fmi2False;
    *terminateSimulation = fmi2False;
    return fmi2OK;
}

fmi2Status fmi2SetTime(fmi2Component c, fmi2Real time) {
    debugTrace(L"fmi2SetTime");
    FmuInstance* comp = instance(c);
    if (invalidState(comp, "fmi2SetTime", maskSetTime)) return fmi2Error;
    logCall(comp, "fmi2SetTime: time=%.16g", time);
    comp->time = time;
    return fmi2OK;
}

fmi2Status fmi2SetContinuousStates(fmi2Component c, const fmi2Real x[], size_t nx) {
    debugTrace(L"fmi2SetContinuousStates");
    FmuInstance* comp = instance(c);
    const char* name = "fmi2SetContinuousStates";
    if (invalidState(comp, name, maskSetContinuousStates)) return fmi2Error;
    if (invalidNumber(comp, name, "nx", nx, numberOfStates)) return fmi2Error;
    if (nullPointer(comp, name, "x[]", x)) return fmi2Error;
    return fmi2OK;
}

fmi2Status fmi2GetDerivatives(fmi2Component c, fmi2Real derivatives[], size_t nx) {
    debugTrace(L"fmi2GetDerivatives");
    FmuInstance* comp = instance(c);
    const char* name = "fmi2GetDerivatives";
    if (invalidState(comp, name, maskGetDerivatives)) return fmi2Error;
    if (invalidNumber(comp, name, "nx", nx, numberOfStates)) return fmi2Error;
    if (nullPointer(comp, name, "derivatives[]", derivatives)) return fmi2Error;
    return fmi2OK;
}

fmi2Status fmi2GetEventIndicators(fmi2Component c, fmi2Real eventIndicators[], size_t ni) {
    debugTrace(L"fmi2GetEventIndicators");
    FmuInstance* comp = instance(c);
    const char* name = "fmi2GetEventIndicators";
    if (invalidState(comp, name, maskGetEventIndicators)) return fmi2Error;
    if (invalidNumber(comp, name, "ni", ni, numberOfEventIndicators)) return fmi2Error;
    if (nullPointer(comp, name, "eventIndicators[]", eventIndicators)) return fmi2Error;
    eventIndicators[0] = 0.0;
    logCall(comp, "fmi2GetEventIndicators: z%d = %.16g", 0, eventIndicators[0]);
    return fmi2OK;
}

fmi2Status fmi2GetContinuousStates(fmi2Component c, fmi2Real x[], size_t nx) {
    debugTrace(L"fmi2GetContinuousStates");
    FmuInstance* comp = instance(c);
    const char* name = "fmi2GetContinuousStates";
    if (invalidState(comp, name, maskGetContinuousStates)) return fmi2Error;
    if (invalidNumber(comp, name, "nx", nx, numberOfStates)) return fmi2Error;
    if (nullPointer(comp, name, "states[]", x)) return fmi2Error;
    return fmi2OK;
}

fmi2Status fmi2GetNominalsOfContinuousStates(fmi2Component c, fmi2Real x_nominal[], size_t nx) {
    debugTrace(L"fmi2GetNominalsOfContinuousStates");
    FmuInstance* comp = instance(c);
    if (invalidState(comp, "fmi2GetNominalsOfContinuousStates",
                     maskGetNominalsOfContinuousStates))
        return fmi2Error;
    // The argument checks report under this name, as hosts have always seen them.
    const char* name = "fmi2GetNominalContinuousStates";
    if (invalidNumber(comp, name, "nx", nx, numberOfStates)) return fmi2Error;
    if (nullPointer(comp, name, "x_nominal[]", x_nominal)) return fmi2Error;
    logCall(comp, "fmi2GetNominalContinuousStates: x_nominal[0..%d] = 1.0",
            static_cast<int>(nx) - 1);
    return fmi2OK;
}
