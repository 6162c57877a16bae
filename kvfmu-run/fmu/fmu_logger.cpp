#include "fmu_logger.h"

#include "model_description.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

LogLevel levelOf(fmi2Status status) {
    switch (status) {
        case fmi2OK:
            return LogLevel::info;
        case fmi2Error:
        case fmi2Fatal:
            return LogLevel::error;
        default:
            return LogLevel::warning;
    }
}

// The printf-style message with its arguments filled in.
std::string formatted(const char* format, va_list arguments) {
    if (!format) return {};
    va_list measuring;
    va_copy(measuring, arguments);
    int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length < 0) return format;
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
    return std::string(buffer.data(), static_cast<size_t>(length));
}

void logMessage(fmi2ComponentEnvironment environment, fmi2String instanceName, fmi2Status status,
                fmi2String category, fmi2String message, ...) {
    auto* log = static_cast<FmuLog*>(environment);
    va_list arguments;
    va_start(arguments, message);
    std::string text = formatted(message, arguments);
    va_end(arguments);
    if (!log) return;
    if (!log->variableNames.empty()) text = withVariableNames(text, log->variableNames);
    const LogLevel level = levelOf(status);
    if (level == LogLevel::error) log->errors.push_back(text);
    if (level < log->level) return;
    if (log->beforeMessage) log->beforeMessage();
    std::fprintf(log->out, "%s\n", formatLogLine(status, category, instanceName, text).c_str());
    std::fflush(log->out);
}

void* allocateZeroed(size_t count, size_t size) {
    return std::calloc(count, size);
}

void release(void* memory) {
    std::free(memory);
}

}  // namespace

void nameVariables(FmuLog& log, const ModelDescription& model) {
    for (const ModelVariable& variable : model.variables) {
        const char letter = variable.type == "Real"      ? 'r'
                            : variable.type == "Boolean" ? 'b'
                            : variable.type == "String"  ? 's'
                                                         : 'i';  // Integer, Enumeration
        log.variableNames[{letter, variable.valueReference}] = variable.name;
    }
}

std::string withVariableNames(const std::string& message,
                              const std::map<std::pair<char, std::uint32_t>, std::string>& names) {
    std::string text;
    size_t i = 0;
    while (i < message.size()) {
        const size_t hash = message.find('#', i);
        if (hash == std::string::npos) break;
        text.append(message, i, hash - i);
        // "#" letter digits "#"
        size_t end = hash + 2;
        while (end < message.size() && std::isdigit(static_cast<unsigned char>(message[end]))) ++end;
        const bool reference = hash + 2 < end && end < message.size() && message[end] == '#' &&
                               end - hash - 2 <= 10;
        if (reference) {
            const unsigned long long number = std::stoull(message.substr(hash + 2, end - hash - 2));
            auto name = names.find({message[hash + 1], static_cast<std::uint32_t>(number)});
            if (number <= UINT32_MAX && name != names.end()) {
                text += name->second;
                i = end + 1;
                continue;
            }
        }
        text += '#';
        i = hash + 1;
    }
    text.append(message, std::min(i, message.size()), std::string::npos);
    return text;
}

std::optional<LogLevel> logLevelNamed(const std::string& name) {
    if (name == "info") return LogLevel::info;
    if (name == "warning") return LogLevel::warning;
    if (name == "error") return LogLevel::error;
    if (name == "none") return LogLevel::none;
    return std::nullopt;
}

std::string takeErrors(FmuLog& log) {
    std::string joined;
    for (const auto& error : log.errors) joined += (joined.empty() ? "" : "; ") + error;
    log.errors.clear();
    return joined;
}

const char* statusName(fmi2Status status) {
    switch (status) {
        case fmi2OK:
            return "OK";
        case fmi2Warning:
            return "Warning";
        case fmi2Discard:
            return "Discard";
        case fmi2Error:
            return "Error";
        case fmi2Fatal:
            return "Fatal";
        case fmi2Pending:
            return "Pending";
    }
    return "unknown status";
}

std::string formatLogLine(fmi2Status status, const char* category, const char* instanceName,
                          const std::string& message) {
    return std::string("[") + statusName(status) + "][" + (category ? category : "") + "] " +
           (instanceName ? instanceName : "") + ": " + message;
}

fmi2CallbackFunctions fmuCallbacks(FmuLog& log) {
    return fmi2CallbackFunctions{logMessage, allocateZeroed, release, nullptr, &log};
}
