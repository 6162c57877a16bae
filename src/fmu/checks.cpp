#include "checks.h"

#include "logging.h"
#include "trace.h"

bool invalidState(FmuInstance* comp, const char* function, int stateMask) {
    if (!comp) {
        debugTrace(L"    invalidState !comp return true");
        return true;
    }
    if (!(comp->state & stateMask)) {
        debugTrace(L"    invalidState: modelError");
        comp->state = modelError;
        logErrorLine(comp, "%s: Illegal call sequence.", function);
        debugTrace(L"    invalidState: return true");
        return true;
    }
    return false;
}

bool nullPointer(FmuInstance* comp, const char* function, const char* argument,
                 const void* pointer) {
    if (pointer) return false;
    comp->state = modelError;
    logErrorLine(comp, "%s: Invalid argument %s = NULL.", function, argument);
    debugTrace(L"    nullPointer: return fmi2True");
    return true;
}

bool vrOutOfRange(FmuInstance* comp, const char* function, fmi2ValueReference vr, int32_t bound) {
    if (bound > 0 && vr < static_cast<uint32_t>(bound)) return false;
    logErrorLine(comp, "%s: Illegal value reference %u.", function, vr);
    comp->state = modelError;
    debugTraceComposed("    vrOutOfRange: return fmi2True. vr: ", vr, ". end: ", bound);
    return true;
}

bool invalidNumber(FmuInstance* comp, const char* function, const char* argument, size_t given,
                   int expected) {
    debugTrace(L"    invalidNumber");
    if (expected >= 0 && given == static_cast<size_t>(expected)) return false;
    comp->state = modelError;
    logErrorLine(comp, "%s: Invalid argument %s = %d. Expected %d.", function, argument,
                 static_cast<int>(given), expected);
    return true;
}

fmi2Status unsupportedFunction(FmuInstance* comp, const char* function, int stateMask) {
    debugTrace(L"unsupportedFunction");
    if (invalidState(comp, function, stateMask)) return fmi2Error;
    logCall(comp, function);
    logErrorLine(comp, "%s: Function not implemented.", function);
    return fmi2Error;
}
