// An FMU's binary (or the shipped libkvfmu) loaded as a host loads it, with its FMI functions
// looked up by name.
#pragma once

#include "dynamic_library.h"
#include "fmi2_function_table.h"

#include <string>

struct LoadedFmu : Fmi2FunctionTable {
    LibraryHandle handle = nullptr;
    std::string error;  // why it could not be loaded, when handle is null
};

// The library at the path, opened on every call (loading a path already open gives that
// library again), e.g. to load two builds side by side.
LoadedFmu openFmu(const char* path);

// The library at the path, loaded once per process.
const LoadedFmu& loadedFmu(const char* path);
