#include "concurrent_host.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<long> outstanding{0};

void logger(fmi2ComponentEnvironment environment, fmi2String instanceName, fmi2Status status,
            fmi2String category, fmi2String message, ...) {
    char text[4096];
    va_list args;
    va_start(args, message);
    std::vsnprintf(text, sizeof text, message, args);
    va_end(args);
    static_cast<InstanceLog*>(environment)
        ->add({instanceName ? instanceName : "(null)", status, category ? category : "(null)",
               text});
}

void* allocate(size_t count, size_t size) {
    void* pointer = std::calloc(count == 0 ? 1 : count, size == 0 ? 1 : size);
    if (pointer) ++outstanding;
    return pointer;
}

void release(void* pointer) {
    if (pointer) --outstanding;
    std::free(pointer);
}

}  // namespace

void InstanceLog::add(HostMessage message) {
    const std::lock_guard<std::mutex> guard(lock_);
    messages_.push_back(std::move(message));
}

std::vector<HostMessage> InstanceLog::messages() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return messages_;
}

size_t InstanceLog::size() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return messages_.size();
}

std::string InstanceLog::text() const {
    std::string all;
    for (const HostMessage& m : messages()) all += m.instanceName + ": " + m.text + "\n";
    return all;
}

fmi2CallbackFunctions concurrentCallbacks(InstanceLog& log) {
    return {logger, allocate, release, nullptr, &log};
}

long concurrentAllocationsOutstanding() { return outstanding; }
