// The exported FMI functions besides fmi2Instantiate and fmi2Reset: each forwards to the
// library on a thread the Java VM knows. Before any instance exists there is nothing to
// forward to, and the answer is an error (or nothing).
#include "instance_setups.h"
#include "provider_setup.h"
#include "thread_attachment.h"

namespace {

template <typename Function, typename... Args>
fmi2Status forward(Function LibraryFunctions::*function, Args... args) {
    const LibraryFunctions* library = readyLibrary();
    if (!library) return fmi2Error;
    knowCallingThread();
    return (library->*function)(args...);
}

constexpr VersionRecord providerVersion = {
    {KVFMU_VERSION_MAJOR, KVFMU_VERSION_MINOR, KVFMU_VERSION_PATCH, 0}};

}  // namespace

// A host asks these before it instantiates, when no library may be loadable yet.
const char* fmi2GetTypesPlatform(void) { return "default"; }
const char* fmi2GetVersion(void) { return "2.0"; }

const VersionRecord* getver(void) {
    const LibraryFunctions* library = readyLibrary();
    return library ? library->getver() : &providerVersion;
}

fmi2Status fmi2SetDebugLogging(fmi2Component c, fmi2Boolean loggingOn, size_t nCategories,
                               const fmi2String categories[]) {
    return forward(&LibraryFunctions::fmi2SetDebugLogging, c, loggingOn, nCategories, categories);
}

void fmi2FreeInstance(fmi2Component c) {
    const LibraryFunctions* library = readyLibrary();
    if (!library) return;
    knowCallingThread();
    forgetInstance(c);
    library->fmi2FreeInstance(c);
}

fmi2Status fmi2SetupExperiment(fmi2Component c, fmi2Boolean toleranceDefined, fmi2Real tolerance,
                               fmi2Real startTime, fmi2Boolean stopTimeDefined, fmi2Real stopTime) {
    const fmi2Status status = forward(&LibraryFunctions::fmi2SetupExperiment, c, toleranceDefined,
                                      tolerance, startTime, stopTimeDefined, stopTime);
    if (status == fmi2OK)
        rememberExperiment(c, {toleranceDefined, tolerance, startTime, stopTimeDefined, stopTime});
    return status;
}

fmi2Status fmi2EnterInitializationMode(fmi2Component c) {
    return forward(&LibraryFunctions::fmi2EnterInitializationMode, c);
}

fmi2Status fmi2ExitInitializationMode(fmi2Component c) {
    return forward(&LibraryFunctions::fmi2ExitInitializationMode, c);
}

fmi2Status fmi2Terminate(fmi2Component c) { return forward(&LibraryFunctions::fmi2Terminate, c); }

fmi2Status fmi2GetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                       fmi2Real value[]) {
    return forward(&LibraryFunctions::fmi2GetReal, c, vr, nvr, value);
}

fmi2Status fmi2GetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                          fmi2Integer value[]) {
    return forward(&LibraryFunctions::fmi2GetInteger, c, vr, nvr, value);
}

fmi2Status fmi2GetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                          fmi2Boolean value[]) {
    return forward(&LibraryFunctions::fmi2GetBoolean, c, vr, nvr, value);
}

fmi2Status fmi2GetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                         fmi2String value[]) {
    return forward(&LibraryFunctions::fmi2GetString, c, vr, nvr, value);
}

fmi2Status fmi2SetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                       const fmi2Real value[]) {
    return forward(&LibraryFunctions::fmi2SetReal, c, vr, nvr, value);
}

fmi2Status fmi2SetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                          const fmi2Integer value[]) {
    return forward(&LibraryFunctions::fmi2SetInteger, c, vr, nvr, value);
}

fmi2Status fmi2SetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                          const fmi2Boolean value[]) {
    return forward(&LibraryFunctions::fmi2SetBoolean, c, vr, nvr, value);
}

fmi2Status fmi2SetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                         const fmi2String value[]) {
    return forward(&LibraryFunctions::fmi2SetString, c, vr, nvr, value);
}

fmi2Status fmi2GetFMUstate(fmi2Component c, fmi2FMUstate* FMUstate) {
    return forward(&LibraryFunctions::fmi2GetFMUstate, c, FMUstate);
}

fmi2Status fmi2SetFMUstate(fmi2Component c, fmi2FMUstate FMUstate) {
    return forward(&LibraryFunctions::fmi2SetFMUstate, c, FMUstate);
}

fmi2Status fmi2FreeFMUstate(fmi2Component c, fmi2FMUstate* FMUstate) {
    return forward(&LibraryFunctions::fmi2FreeFMUstate, c, FMUstate);
}

fmi2Status fmi2SerializedFMUstateSize(fmi2Component c, fmi2FMUstate FMUstate, size_t* size) {
    return forward(&LibraryFunctions::fmi2SerializedFMUstateSize, c, FMUstate, size);
}

fmi2Status fmi2SerializeFMUstate(fmi2Component c, fmi2FMUstate FMUstate,
                                 fmi2Byte serializedState[], size_t size) {
    return forward(&LibraryFunctions::fmi2SerializeFMUstate, c, FMUstate, serializedState, size);
}

fmi2Status fmi2DeSerializeFMUstate(fmi2Component c, const fmi2Byte serializedState[], size_t size,
                                   fmi2FMUstate* FMUstate) {
    return forward(&LibraryFunctions::fmi2DeSerializeFMUstate, c, serializedState, size, FMUstate);
}

fmi2Status fmi2GetDirectionalDerivative(fmi2Component c, const fmi2ValueReference vUnknown_ref[],
                                        size_t nUnknown, const fmi2ValueReference vKnown_ref[],
                                        size_t nKnown, const fmi2Real dvKnown[],
                                        fmi2Real dvUnknown[]) {
    return forward(&LibraryFunctions::fmi2GetDirectionalDerivative, c, vUnknown_ref, nUnknown,
                   vKnown_ref, nKnown, dvKnown, dvUnknown);
}

fmi2Status fmi2EnterEventMode(fmi2Component c) {
    return forward(&LibraryFunctions::fmi2EnterEventMode, c);
}

fmi2Status fmi2NewDiscreteStates(fmi2Component c, fmi2EventInfo* eventInfo) {
    return forward(&LibraryFunctions::fmi2NewDiscreteStates, c, eventInfo);
}

fmi2Status fmi2EnterContinuousTimeMode(fmi2Component c) {
    return forward(&LibraryFunctions::fmi2EnterContinuousTimeMode, c);
}

fmi2Status fmi2CompletedIntegratorStep(fmi2Component c,
                                       fmi2Boolean noSetFMUStatePriorToCurrentPoint,
                                       fmi2Boolean* enterEventMode,
                                       fmi2Boolean* terminateSimulation) {
    return forward(&LibraryFunctions::fmi2CompletedIntegratorStep, c,
                   noSetFMUStatePriorToCurrentPoint, enterEventMode, terminateSimulation);
}

fmi2Status fmi2SetTime(fmi2Component c, fmi2Real time) {
    return forward(&LibraryFunctions::fmi2SetTime, c, time);
}

fmi2Status fmi2SetContinuousStates(fmi2Component c, const fmi2Real x[], size_t nx) {
    return forward(&LibraryFunctions::fmi2SetContinuousStates, c, x, nx);
}

fmi2Status fmi2GetDerivatives(fmi2Component c, fmi2Real derivatives[], size_t nx) {
    return forward(&LibraryFunctions::fmi2GetDerivatives, c, derivatives, nx);
}

fmi2Status fmi2GetEventIndicators(fmi2Component c, fmi2Real eventIndicators[], size_t ni) {
    return forward(&LibraryFunctions::fmi2GetEventIndicators, c, eventIndicators, ni);
}

fmi2Status fmi2GetContinuousStates(fmi2Component c, fmi2Real x[], size_t nx) {
    return forward(&LibraryFunctions::fmi2GetContinuousStates, c, x, nx);
}

fmi2Status fmi2GetNominalsOfContinuousStates(fmi2Component c, fmi2Real x_nominal[], size_t nx) {
    return forward(&LibraryFunctions::fmi2GetNominalsOfContinuousStates, c, x_nominal, nx);
}

fmi2Status fmi2SetRealInputDerivatives(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                       const fmi2Integer order[], const fmi2Real value[]) {
    return forward(&LibraryFunctions::fmi2SetRealInputDerivatives, c, vr, nvr, order, value);
}

fmi2Status fmi2GetRealOutputDerivatives(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                        const fmi2Integer order[], fmi2Real value[]) {
    return forward(&LibraryFunctions::fmi2GetRealOutputDerivatives, c, vr, nvr, order, value);
}

fmi2Status fmi2DoStep(fmi2Component c, fmi2Real currentCommunicationPoint,
                      fmi2Real communicationStepSize, fmi2Boolean noSetFMUStatePriorToCurrentPoint) {
    return forward(&LibraryFunctions::fmi2DoStep, c, currentCommunicationPoint,
                   communicationStepSize, noSetFMUStatePriorToCurrentPoint);
}

fmi2Status fmi2CancelStep(fmi2Component c) { return forward(&LibraryFunctions::fmi2CancelStep, c); }

fmi2Status fmi2GetStatus(fmi2Component c, const fmi2StatusKind s, fmi2Status* value) {
    return forward(&LibraryFunctions::fmi2GetStatus, c, s, value);
}

fmi2Status fmi2GetRealStatus(fmi2Component c, const fmi2StatusKind s, fmi2Real* value) {
    return forward(&LibraryFunctions::fmi2GetRealStatus, c, s, value);
}

fmi2Status fmi2GetIntegerStatus(fmi2Component c, const fmi2StatusKind s, fmi2Integer* value) {
    return forward(&LibraryFunctions::fmi2GetIntegerStatus, c, s, value);
}

fmi2Status fmi2GetBooleanStatus(fmi2Component c, const fmi2StatusKind s, fmi2Boolean* value) {
    return forward(&LibraryFunctions::fmi2GetBooleanStatus, c, s, value);
}

fmi2Status fmi2GetStringStatus(fmi2Component c, const fmi2StatusKind s, fmi2String* value) {
    return forward(&LibraryFunctions::fmi2GetStringStatus, c, s, value);
}
