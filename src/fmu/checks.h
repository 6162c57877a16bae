// Checks that every entry point runs before it acts. A check answers true when the
// call must be refused; it has then logged why and put the instance into modelError.
#pragma once

#include "instance.h"

bool invalidState(FmuInstance* comp, const char* function, int stateMask);
bool nullPointer(FmuInstance* comp, const char* function, const char* argument,
                 const void* pointer);
bool vrOutOfRange(FmuInstance* comp, const char* function, fmi2ValueReference vr, int32_t bound);
bool invalidNumber(FmuInstance* comp, const char* function, const char* argument, size_t given,
                   int expected);

// The whole body of a function that the model does not provide.
fmi2Status unsupportedFunction(FmuInstance* comp, const char* function, int stateMask);
