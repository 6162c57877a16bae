// The functions of libkvfmu, which the provider forwards every call to: one library per
// process, found loaded already (another FMU's) or loaded from beside the provider.
#pragma once

#include "file_path.h"

#include "fmi2_function_table.h"

#include <string>

// Every FMI function of the library and getver.
using LibraryFunctions = Fmi2FunctionTable;

// Finds or loads the library; false with the reason when it cannot be used. The VM's
// library must be loaded first: libkvfmu needs it.
bool loadLibraryFunctions(const FilePath& folder, LibraryFunctions& functions,
                          std::string& failure);
