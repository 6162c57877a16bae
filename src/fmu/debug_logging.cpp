// fmi2SetDebugLogging: sets the instance's log category switches.
#include "checks.h"
#include "logging.h"
#include "state_masks.h"
#include "trace.h"

#include <cstring>

namespace {

void setCategory(FmuInstance* comp, fmi2Boolean loggingOn, const char* name) {
    for (int i = 0; i < logCategoryCount; ++i) {
        if (std::strcmp(name, logCategoryNames[i]) == 0) {
            comp->logCategories[i] = loggingOn;
            return;
        }
    }
    // Always delivered, with the environment taken at instantiation.
    comp->functions->logger(comp->componentEnvironment, comp->instanceName, fmi2Warning,
                            logCategoryNames[logError],
                            "logging category '%s' is not supported by model", name);
}

}  // namespace

fmi2Status fmi2SetDebugLogging(fmi2Component c, fmi2Boolean loggingOn, size_t nCategories,
                               const fmi2String categories[]) {
    debugTrace(L"fmi2SetDebugLogging");
    auto* comp = static_cast<FmuInstance*>(c);
    if (invalidState(comp, "fmi2SetDebugLogging", maskSetDebugLogging)) return fmi2Error;
    if (nCategories > 0 && nullPointer(comp, "fmi2SetDebugLogging", "categories[]", categories))
        return fmi2Error;
    comp->loggingOn = loggingOn;
    // Traced under the switches as they were before this call.
    logCall(comp, "fmi2SetDebugLogging");
    for (auto& on : comp->logCategories) on = fmi2False;
    if (nCategories == 0) {
        for (auto& on : comp->logCategories) on = loggingOn;
        return fmi2OK;
    }
    for (size_t i = 0; i < nCategories; ++i) {
        // A null name can name no category, and the host's logger must never see a null text.
        if (categories[i]) setCategory(comp, loggingOn, categories[i]);
    }
    return fmi2OK;
}
