// The callbacks the runner gives the FMU: a logger that shows the FMU's messages with their
// status and category, and calloc/free for its memory.
#pragma once

#include "fmi2_types.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

enum class LogLevel { info, warning, error, none };

// Reads "info", "warning", "error" or "none".
std::optional<LogLevel> logLevelNamed(const std::string& name);

struct FmuLog {
    LogLevel level = LogLevel::info;  // messages below it are not shown
    std::FILE* out = stderr;
    std::function<void()> beforeMessage;  // e.g. clears the progress bar's line
    std::vector<std::string> errors;      // messages of status error or fatal not yet reported
};

// The error messages collected since the last call, joined by "; ", and forgotten.
std::string takeErrors(FmuLog& log);

// "OK", "Warning", "Discard", "Error", "Fatal", "Pending".
const char* statusName(fmi2Status status);

// The line the logger shows: "[Error][logError] instance: message".
std::string formatLogLine(fmi2Status status, const char* category, const char* instanceName,
                          const std::string& message);

// Callbacks whose componentEnvironment is `log`; it must outlive the FMU instance.
fmi2CallbackFunctions fmuCallbacks(FmuLog& log);
