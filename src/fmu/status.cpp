// Co-simulation status queries, step cancelling and input/output derivatives. Steps are
// synchronous: no step is ever pending, so the queries for pending or discarded steps
// answer fmi2Discard.
#include "checks.h"
#include "logging.h"
#include "state_masks.h"
#include "trace.h"

namespace {

const char* const statusKindNames[] = {"fmi2DoStepStatus", "fmi2PendingStatus",
                                       "fmi2LastSuccessfulTime", "fmi2Terminated"};
const char* const statusKindErrors[] = {
    "%s: Can be called with fmi2DoStepStatus when fmi2DoStep returned fmi2Pending. "
    "This is not the case.",
    "%s: Can be called with fmi2PendingStatus when fmi2DoStep returned fmi2Pending. "
    "This is not the case.",
    "%s: Can be called with fmi2LastSuccessfulTime when fmi2DoStep returned fmi2Discard. "
    "This is not the case.",
    "%s: Can be called with fmi2Terminated when fmi2DoStep returned fmi2Discard. "
    "This is not the case."};
constexpr unsigned statusKindCount = 4;

FmuInstance* instance(fmi2Component c) { return static_cast<FmuInstance*>(c); }

fmi2Status getStatus(const char* name, fmi2Component c, fmi2StatusKind kind) {
    debugTrace(L"getStatus");
    FmuInstance* comp = instance(c);
    if (invalidState(comp, name, maskGetStatus)) return fmi2Error;
    const auto index = static_cast<unsigned>(kind);
    const bool known = index < statusKindCount;
    logCall(comp, "%s: fmi2StatusKind = %s", name, known ? statusKindNames[index] : "unknown");
    if (known) logErrorLine(comp, statusKindErrors[index], name);
    return fmi2Discard;
}

// The queries that have one kind they can answer: the value is written there only.
template <typename T>
fmi2Status answerStatus(const char* name, fmi2Component c, fmi2StatusKind kind,
                        fmi2StatusKind answered, T* value, T answer(const FmuInstance*)) {
    if (kind != answered) return getStatus(name, c, kind);
    FmuInstance* comp = instance(c);
    if (invalidState(comp, name, maskGetStatus)) return fmi2Error;
    if (nullPointer(comp, name, "value", value)) return fmi2Error;
    *value = answer(comp);
    return fmi2OK;
}

}  // namespace

fmi2Status fmi2GetStatus(fmi2Component c, const fmi2StatusKind s, fmi2Status*) {
    debugTrace(L"fmi2GetStatus");
    return getStatus("fmi2GetStatus", c, s);
}

fmi2Status fmi2GetRealStatus(fmi2Component c, const fmi2StatusKind s, fmi2Real* value) {
    debugTrace(L"fmi2GetRealStatus");
    return answerStatus<fmi2Real>("fmi2GetRealStatus", c, s, fmi2LastSuccessfulTime, value,
                                  [](const FmuInstance* comp) { return comp->time; });
}

fmi2Status fmi2GetIntegerStatus(fmi2Component c, const fmi2StatusKind s, fmi2Integer*) {
    debugTrace(L"fmi2GetIntegerStatus");
    return getStatus("fmi2GetIntegerStatus", c, s);
}

fmi2Status fmi2GetBooleanStatus(fmi2Component c, const fmi2StatusKind s, fmi2Boolean* value) {
    debugTrace(L"fmi2GetBooleanStatus");
    return answerStatus<fmi2Boolean>(
        "fmi2GetBooleanStatus", c, s, fmi2Terminated, value,
        [](const FmuInstance* comp) { return comp->eventInfo.terminateSimulation; });
}

fmi2Status fmi2GetStringStatus(fmi2Component c, const fmi2StatusKind s, fmi2String*) {
    debugTrace(L"fmi2GetStringStatus");
    return getStatus("fmi2GetStringStatus", c, s);
}

fmi2Status fmi2CancelStep(fmi2Component c) {
    debugTrace(L"fmi2CancelStep");
    FmuInstance* comp = instance(c);
    if (invalidState(comp, "fmi2CancelStep", maskCancelStep)) return fmi2Error;
    logCall(comp, "fmi2CancelStep");
    logErrorLine(comp,
                 "fmi2CancelStep: Can be called when fmi2DoStep returned fmi2Pending. "
                 "This is not the case.");
    return fmi2Error;
}

fmi2Status fmi2SetRealInputDerivatives(fmi2Component c, const fmi2ValueReference[], size_t nvr,
                                       const fmi2Integer[], const fmi2Real[]) {
    debugTrace(L"fmi2SetRealInputDerivatives");
    FmuInstance* comp = instance(c);
    if (invalidState(comp, "fmi2SetRealInputDerivatives", maskSetRealInputDerivatives))
        return fmi2Error;
    logCall(comp, "fmi2SetRealInputDerivatives: nvr= %d", static_cast<int>(nvr));
    logErrorLine(comp,
                 "fmi2SetRealInputDerivatives: ignoring function call. This model cannot "
                 "interpolate inputs: canInterpolateInputs=\"fmi2False\"");
    return fmi2Error;
}

fmi2Status fmi2GetRealOutputDerivatives(fmi2Component c, const fmi2ValueReference[], size_t nvr,
                                        const fmi2Integer[], fmi2Real value[]) {
    debugTrace(L"fmi2GetRealOutputDerivatives");
    FmuInstance* comp = instance(c);
    const char* name = "fmi2GetRealOutputDerivatives";
    if (invalidState(comp, name, maskGetRealOutputDerivatives)) return fmi2Error;
    if (nvr > 0 && nullPointer(comp, name, "value[]", value)) return fmi2Error;
    logCall(comp, "fmi2GetRealOutputDerivatives: nvr= %d", static_cast<int>(nvr));
    logErrorLine(comp,
                 "fmi2GetRealOutputDerivatives: ignoring function call. This model cannot "
                 "compute derivatives of outputs: MaxOutputDerivativeOrder=\"0\"");
    for (size_t i = 0; i < nvr; ++i) value[i] = 0.0;
    return fmi2Error;
}
