// fmi2Instantiate and fmi2Reset: the FMU's own GUID checked, the process made ready, the
// library's instance made, and the start values of the inputs and parameters applied; after
// a reset, the last experiment set-up too.
#include "instance_setups.h"
#include "kvfmu_guid.h"
#include "provider_setup.h"
#include "start_values.h"

#include <cstring>
#include <string>

namespace {

// Set-up errors go to the host's logger directly, as the library's own do.
void instantiateError(const fmi2CallbackFunctions* functions, fmi2String instanceName,
                      const std::string& text) {
    functions->logger(functions->componentEnvironment, instanceName, fmi2Error, "error", "%s",
                      text.c_str());
}

}  // namespace

fmi2Component fmi2Instantiate(fmi2String instanceName, fmi2Type fmuType, fmi2String fmuGUID,
                              fmi2String fmuResourceLocation,
                              const fmi2CallbackFunctions* functions, fmi2Boolean visible,
                              fmi2Boolean loggingOn) {
    // The library's own checks come first, with its messages, so that a call bound to fail
    // starts no Java VM.
    if (!functions || !functions->logger) return nullptr;
    if (!functions->allocateMemory || !functions->freeMemory) {
        instantiateError(functions, instanceName, "fmi2Instantiate: Missing callback function.");
        return nullptr;
    }
    if (!instanceName || !*instanceName) {
        instantiateError(functions, "?", "fmi2Instantiate: Missing instance name.");
        return nullptr;
    }
    if (!fmuGUID || !*fmuGUID) {
        instantiateError(functions, instanceName, "fmi2Instantiate: Missing GUID.");
        return nullptr;
    }
    std::string failure;
    const std::optional<FmuSettings> fmu = fmuSettings(fmuResourceLocation, failure);
    if (!fmu) {
        instantiateError(functions, instanceName, "fmi2Instantiate: " + failure);
        return nullptr;
    }
    if (fmu->settings->guid != fmuGUID) {
        functions->logger(functions->componentEnvironment, instanceName, fmi2Error, "error",
                          "fmi2Instantiate: Wrong GUID %s. Expected %s.", fmuGUID,
                          fmu->settings->guid.c_str());
        return nullptr;
    }
    const LibraryFunctions* library = prepareProvider(*fmu, functions, instanceName, failure);
    if (!library) {
        instantiateError(functions, instanceName, "fmi2Instantiate: " + failure);
        return nullptr;
    }
    // The library logs the GUID it is given, its own: made with logging off, the instance
    // then gets the host's switches, and the call log the GUID the host passed.
    fmi2Component component = library->fmi2Instantiate(instanceName, fmuType, kvfmuGuid,
                                                       fmuResourceLocation, functions, visible,
                                                       fmi2False);
    if (!component) return nullptr;
    if (loggingOn != fmi2False) {
        library->fmi2SetDebugLogging(component, loggingOn, 0, nullptr);
        functions->logger(functions->componentEnvironment, instanceName, fmi2OK, "logFmiCall",
                          "fmi2Instantiate: GUID=%s", fmuGUID);
    }
    if (!applyStartValues(*library, component, fmu->settings->startValues)) {
        instantiateError(functions, instanceName,
                         "fmi2Instantiate: the start values of the inputs and parameters cannot "
                         "be set (see the message before)");
        library->fmi2FreeInstance(component);
        return nullptr;
    }
    rememberInstance(component, fmu->settings);
    return component;
}

fmi2Status fmi2Reset(fmi2Component c) {
    const LibraryFunctions* library = readyLibrary();
    if (!library) return fmi2Error;
    const fmi2Status status = forwardedReset(*library, c);
    if (status != fmi2OK && status != fmi2Warning) return status;
    const std::optional<InstanceSetup> setup = instanceSetup(c);
    if (!setup || !applyStartValues(*library, c, setup->settings->startValues)) return fmi2Error;
    if (const std::optional<ExperimentSetup> experiment = setup->experiment) {
        const fmi2Status setUp = library->fmi2SetupExperiment(
            c, experiment->toleranceDefined, experiment->tolerance, experiment->startTime,
            experiment->stopTimeDefined, experiment->stopTime);
        if (setUp != fmi2OK) return setUp;
    }
    return status;
}
