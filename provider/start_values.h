// The start values of an FMU's inputs and parameters, applied through the library's
// fmi2SetReal so that an instance holds them until the host sets something.
#pragma once

#include "library_functions.h"
#include "provider_settings.h"

#include <vector>

// False when the library refused them; it has told the host why.
bool applyStartValues(const LibraryFunctions& library, fmi2Component component,
                      const std::vector<StartValue>& startValues);

// The library's fmi2Reset on the calling thread, which the VM then knows.
fmi2Status forwardedReset(const LibraryFunctions& library, fmi2Component component);
