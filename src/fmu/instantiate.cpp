// fmi2Instantiate: checks the host's arguments, has the server create its instance, then
// builds the record in memory from the host.
#include "instance_memory.h"
#include "logging.h"
#include "trace.h"

#include "facade.h"
#include "java_vm.h"
#include "kvfmu_guid.h"
#include "server_exchange.h"
#include "server_keys.h"

#include <cstring>
#include <string>

namespace {

// Argument and set-up errors: no record exists yet, so they go to the host's logger
// directly, always, under the category "error".
template <typename... Args>
void instantiateError(const fmi2CallbackFunctions* functions, fmi2String instanceName,
                      fmi2String message, Args... args) {
    functions->logger(functions->componentEnvironment, instanceName, fmi2Error, "error", message,
                      args...);
}

template <typename T>
T* allocate(const fmi2CallbackFunctions* functions, size_t count) {
    return static_cast<T*>(functions->allocateMemory(count, sizeof(T)));
}

char* copyText(const fmi2CallbackFunctions* functions, const char* text) {
    const size_t length = std::strlen(text) + 1;
    char* copy = allocate<char>(functions, length);
    if (copy) std::memcpy(copy, text, length);
    return copy;
}

bool allBlocksObtained(const FmuInstance* comp) {
    return comp->realValues && comp->integerValues && comp->booleanValues && comp->stringValues &&
           comp->indicatorFlags && comp->instanceName && comp->fmuGUID && comp->serverKey;
}

// Undoes a set-up that cannot be completed: the server discards its instance (its key is
// free again once it has), and the host gets back every block it gave.
void abandonInstance(FmuInstance* comp, const std::string& serverKey) {
    if (j_doFreeInstance(serverKey.c_str())) releaseServerKey(serverKey);
    if (comp) releaseInstanceMemory(comp);
}

}  // namespace

fmi2Component fmi2Instantiate(fmi2String instanceName, fmi2Type fmuType, fmi2String fmuGUID,
                              fmi2String fmuResourceLocation,
                              const fmi2CallbackFunctions* functions, fmi2Boolean,
                              fmi2Boolean loggingOn) {
    debugTrace(L"fmi2Instantiate");
    debugTrace(instanceName ? instanceName : "");
    debugTrace(fmuGUID ? fmuGUID : "");
    debugTrace(fmuResourceLocation ? fmuResourceLocation : "");

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
    if (std::strcmp(fmuGUID, kvfmuGuid) != 0) {
        instantiateError(functions, instanceName, "fmi2Instantiate: Wrong GUID %s. Expected %s.",
                         fmuGUID, kvfmuGuid);
        return nullptr;
    }
    const std::string serverKey = reserveServerKey(instanceName);
    if (!doInstantiate(serverKey.c_str(), fmuResourceLocation ? fmuResourceLocation : "")) {
        releaseServerKey(serverKey);
        instantiateError(functions, instanceName, "fmi2Instantiate: Process error");
        // The server's text is shown as it is, never read as a format.
        instantiateError(functions, instanceName, "%s", LastError.c_str());
        return nullptr;
    }

    auto* comp = allocate<FmuInstance>(functions, 1);
    if (!comp) {
        instantiateError(functions, instanceName, "fmi2Instantiate: Out of memory.");
        abandonInstance(nullptr, serverKey);
        return nullptr;
    }
    debugTrace(L"Allocating memory");
    *comp = FmuInstance{};
    comp->functions = functions;
    int32_t numberOfReals = 0;
    if (!getNumberOfReals(serverKey.c_str(), numberOfReals)) {
        instantiateError(functions, instanceName, "fmi2Instantiate: %s", LastError.c_str());
        abandonInstance(comp, serverKey);
        return nullptr;
    }
    if (numberOfReals < 0) {
        instantiateError(functions, instanceName,
                         "fmi2Instantiate: Invalid number of real variables %d reported by the "
                         "server.",
                         numberOfReals);
        abandonInstance(comp, serverKey);
        return nullptr;
    }
    comp->realValues = allocate<fmi2Real>(functions, static_cast<size_t>(numberOfReals));
    comp->integerValues = allocate<fmi2Integer>(functions, 0);
    comp->booleanValues = allocate<fmi2Boolean>(functions, 0);
    comp->stringValues = allocate<char*>(functions, 0);
    comp->indicatorFlags = allocate<fmi2Boolean>(functions, 1);
    comp->instanceName = copyText(functions, instanceName);
    comp->fmuGUID = copyText(functions, fmuGUID);
    comp->serverKey = copyText(functions, serverKey.c_str());
    if (!allBlocksObtained(comp)) {
        instantiateError(functions, instanceName, "fmi2Instantiate: Out of memory.");
        abandonInstance(comp, serverKey);
        return nullptr;
    }
    comp->realValuesLength = static_cast<size_t>(numberOfReals);
    comp->time = 0.0;
    // Kept as the integer the host passed: a value outside the enumeration must never be
    // loaded as an fmi2Type.
    static_assert(sizeof fmuType == sizeof comp->fmuType, "fmi2Type is a 32-bit enumeration");
    std::memcpy(&comp->fmuType, &fmuType, sizeof comp->fmuType);
    comp->loggingOn = loggingOn;
    for (auto& on : comp->logCategories) on = loggingOn;
    comp->componentEnvironment = functions->componentEnvironment;
    comp->state = modelInstantiated;
    comp->eventInfo = fmi2EventInfo{};
    comp->valuesDirty = fmi2True;
    comp->newEventIteration = fmi2False;

    logCall(comp, "fmi2Instantiate: GUID=%s", fmuGUID);
    debugTrace(L"fmi2Instantiate DONE");
    return comp;
}
