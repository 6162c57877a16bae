// Instance-free entry points.
#include "trace.h"

#include "fmi2_functions.h"

namespace {
const VersionRecord versionRecord = {{6, 1, 0, 96}};
}

const char* fmi2GetVersion(void) {
    debugTrace(L"fmi2GetVersion");
    return "2.0";
}

const char* fmi2GetTypesPlatform(void) {
    debugTrace(L"fmi2GetTypesPlatform");
    return "default";
}

const VersionRecord* getver(void) { return &versionRecord; }
