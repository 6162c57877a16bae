// The callbacks the runner gives the FMU: a logger that shows the FMU's messages with their
// status and category, and calloc/free for its memory.
#pragma once

#include "fmi2_types.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
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
    // Variable names by FMI type letter (r, i, b, s) and value reference, for messages.
    std::map<std::pair<char, std::uint32_t>, std::string> variableNames;
};

struct ModelDescription;
// Lets the log name the model's variables.
void nameVariables(FmuLog& log, const ModelDescription& model);

// The message with FMI's variable references "#r12#" (type letter r, i, b or s and a value
// reference) replaced by the variable's name; unknown references stay as they are.
std::string withVariableNames(const std::string& message,
                              const std::map<std::pair<char, std::uint32_t>, std::string>& names);

// The error messages collected since the last call, joined by "; ", and forgotten.
std::string takeErrors(FmuLog& log);

// "OK", "Warning", "Discard", "Error", "Fatal", "Pending".
const char* statusName(fmi2Status status);

// The line the logger shows: "[Error][logError] instance: message".
std::string formatLogLine(fmi2Status status, const char* category, const char* instanceName,
                          const std::string& message);

// Callbacks whose componentEnvironment is `log`; it must outlive the FMU instance.
fmi2CallbackFunctions fmuCallbacks(FmuLog& log);
