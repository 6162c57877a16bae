// Logging through the host's logger, filtered by the instance's category switches.
// The host's logger formats; a message that is filtered out is never formatted.
#pragma once

#include "instance.h"

inline bool categoryEnabled(const FmuInstance* comp, int category) {
    return category >= 0 && category < logCategoryCount &&
           (comp->logCategories[category] || comp->logCategories[logAll]);
}

template <typename... Args>
void filteredLog(const FmuInstance* comp, fmi2Status status, int category, fmi2String message,
                 Args... args) {
    if (status != fmi2Error && status != fmi2Fatal && !categoryEnabled(comp, category)) return;
    comp->functions->logger(comp->functions->componentEnvironment, comp->instanceName, status,
                            logCategoryNames[category], message, args...);
}

// A call-log line: status fmi2OK under "logFmiCall".
template <typename... Args>
void logCall(const FmuInstance* comp, fmi2String message, Args... args) {
    filteredLog(comp, fmi2OK, logFmiCall, message, args...);
}

// An error line: status fmi2Error under "logError", always delivered.
template <typename... Args>
void logErrorLine(const FmuInstance* comp, fmi2String message, Args... args) {
    filteredLog(comp, fmi2Error, logError, message, args...);
}
