// An instance record built by hand in a chosen state, for tests of the entry checks that
// need no server. Its blocks come from the test host's allocator, so fmi2FreeInstance can
// give them back.
#pragma once

#include "host.h"
#include "instance.h"

#include <cstring>

inline FmuInstance* manualInstance(ModelState state, const fmi2CallbackFunctions* functions,
                                   const char* name = "inst") {
    auto* comp = static_cast<FmuInstance*>(functions->allocateMemory(1, sizeof(FmuInstance)));
    comp->realValues = static_cast<fmi2Real*>(functions->allocateMemory(0, sizeof(fmi2Real)));
    comp->integerValues =
        static_cast<fmi2Integer*>(functions->allocateMemory(0, sizeof(fmi2Integer)));
    comp->booleanValues =
        static_cast<fmi2Boolean*>(functions->allocateMemory(0, sizeof(fmi2Boolean)));
    comp->stringValues = static_cast<char**>(functions->allocateMemory(0, sizeof(char*)));
    comp->indicatorFlags =
        static_cast<fmi2Boolean*>(functions->allocateMemory(1, sizeof(fmi2Boolean)));
    comp->instanceName = static_cast<char*>(functions->allocateMemory(std::strlen(name) + 1, 1));
    std::strcpy(comp->instanceName, name);
    comp->fmuGUID = static_cast<char*>(functions->allocateMemory(2, 1));
    comp->serverKey = static_cast<char*>(functions->allocateMemory(std::strlen(name) + 1, 1));
    std::strcpy(comp->serverKey, name);
    comp->fmuType = fmi2CoSimulation;
    comp->functions = functions;
    comp->componentEnvironment = functions->componentEnvironment;
    comp->state = state;
    return comp;
}
