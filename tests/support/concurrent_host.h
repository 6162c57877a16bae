// Host callbacks that any number of threads may call at once, as a host that drives
// instances on threads of their own hands them over: each instance's messages go to the log
// its component environment points to, and the memory handed out and given back is counted.
#pragma once

#include "fmi2_functions.h"

#include <mutex>
#include <string>
#include <vector>

struct HostMessage {
    std::string instanceName;
    fmi2Status status;
    std::string category;
    std::string text;  // as the host formats it
};

// The messages of one instance (or of a group of instances that share it).
class InstanceLog {
public:
    void add(HostMessage message);
    std::vector<HostMessage> messages() const;
    size_t size() const;
    // Every message, one per line, for a failure's report.
    std::string text() const;

private:
    mutable std::mutex lock_;
    std::vector<HostMessage> messages_;
};

// Callbacks whose component environment is the given log.
fmi2CallbackFunctions concurrentCallbacks(InstanceLog& log);

// Blocks handed out through any concurrentCallbacks and not yet given back.
long concurrentAllocationsOutstanding();
