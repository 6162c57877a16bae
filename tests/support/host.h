// A test host: the callbacks a simulation host hands to fmi2Instantiate, with a logger
// that records every message and an allocator that counts what it hands out and gets back.
#pragma once

#include "fmi2_functions.h"

#include <string>
#include <vector>

struct LogRecord {
    fmi2ComponentEnvironment environment;
    std::string instanceName;  // "(null)" when the library passed a null name
    fmi2Status status;
    std::string category;
    std::string format;  // the message as the library passed it
    std::string text;    // the message as the host formats it
};

struct Allocation {
    size_t count;
    size_t size;
    void* pointer;
};

struct TestHost {
    std::vector<LogRecord> log;
    std::vector<Allocation> allocations;  // every request, in order (pointer null if refused)
    std::vector<void*> freed;             // every pointer given back, in order
    int failAllocationAt = -1;            // index of the request to answer with null
    bool failZeroCount = false;           // answer null for every request of count 0
};

// The one host of the process; reset between tests.
TestHost& testHost();
void resetTestHost();

// Callback record with the recording logger and counting allocator; the environment is
// the address of testHost() unless given.
fmi2CallbackFunctions hostCallbacks(fmi2ComponentEnvironment environment = nullptr);

// Messages with the given format (raw, before formatting).
std::vector<LogRecord> logWithFormat(const std::string& format);
size_t allocationsOutstanding();
