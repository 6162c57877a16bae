#include "host.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

TestHost host;

void recordingLogger(fmi2ComponentEnvironment environment, fmi2String instanceName,
                     fmi2Status status, fmi2String category, fmi2String message, ...) {
    char text[4096];
    va_list args;
    va_start(args, message);
    std::vsnprintf(text, sizeof text, message, args);
    va_end(args);
    host.log.push_back({environment, instanceName ? instanceName : "(null)", status,
                        category ? category : "(null)", message ? message : "(null)", text});
}

void* countingAllocate(size_t count, size_t size) {
    const int index = static_cast<int>(host.allocations.size());
    void* pointer = nullptr;
    const bool refuse = index == host.failAllocationAt || (host.failZeroCount && count == 0);
    if (!refuse) pointer = std::calloc(count == 0 ? 1 : count, size == 0 ? 1 : size);
    host.allocations.push_back({count, size, pointer});
    return pointer;
}

void countingFree(void* pointer) {
    host.freed.push_back(pointer);
    std::free(pointer);
}

}  // namespace

TestHost& testHost() { return host; }

void resetTestHost() { host = TestHost{}; }

fmi2CallbackFunctions hostCallbacks(fmi2ComponentEnvironment environment) {
    return {recordingLogger, countingAllocate, countingFree, nullptr,
            environment ? environment : &host};
}

std::vector<LogRecord> logWithFormat(const std::string& format) {
    std::vector<LogRecord> found;
    std::copy_if(host.log.begin(), host.log.end(), std::back_inserter(found),
                 [&](const LogRecord& r) { return r.format == format; });
    return found;
}

size_t allocationsOutstanding() {
    const auto granted = std::count_if(host.allocations.begin(), host.allocations.end(),
                                       [](const Allocation& a) { return a.pointer != nullptr; });
    return static_cast<size_t>(granted) - host.freed.size();
}
