// Variable access. Only reals carry data: they live in realValues, indexed by value
// reference; a value the host sets is stored and sent to the server at once. The model
// has no integer, boolean or string variables, so every such access with a value
// reference is out of range.
#include "checks.h"
#include "logging.h"
#include "state_masks.h"
#include "trace.h"

#include "facade.h"
#include "java_vm.h"
#include "server_exchange.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t numberOfIntegers = 0;
constexpr int32_t numberOfBooleans = 0;
constexpr int32_t numberOfStrings = 0;

FmuInstance* instance(fmi2Component c) { return static_cast<FmuInstance*>(c); }

// The bound of the real value references: the server's count, but never past the array
// allocated at instantiation.
int32_t realBound(const FmuInstance* comp, int32_t numberOfReals) {
    const auto length = static_cast<int64_t>(comp->realValuesLength);
    return static_cast<int32_t>(std::min<int64_t>(numberOfReals, length));
}

// False when the refresh failed; the values stay dirty, so that the next read tries again.
bool refreshIfDirty(FmuInstance* comp) {
    if (!comp->valuesDirty) return true;
    if (!calculateValues(comp)) return false;
    comp->valuesDirty = fmi2False;
    return true;
}

// A read the server could not serve: what the host would get is not the model's values.
fmi2Status failedRead(FmuInstance* comp) {
    logErrorLine(comp, "fmi2GetReal: %s", LastError.c_str());
    comp->state = modelError;
    return fmi2Error;
}

const char* booleanText(fmi2Boolean value) { return value ? "true" : "false"; }

// The common shape of the integer, boolean and string getters.
template <typename T, typename Stored, typename Logged>
fmi2Status getValues(const char* name, fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                     T value[], Stored stored, int32_t count, const char* line,
                     Logged logged) {
    FmuInstance* comp = instance(c);
    if (invalidState(comp, name, maskGetValues)) return fmi2Error;
    if (nvr == 0) return fmi2OK;
    if (nullPointer(comp, name, "vr[]", vr)) return fmi2Error;
    if (nullPointer(comp, name, "value[]", value)) return fmi2Error;
    refreshIfDirty(comp);
    for (size_t i = 0; i < nvr; ++i) {
        if (vrOutOfRange(comp, name, vr[i], count)) return fmi2Error;
        value[i] = stored(comp)[vr[i]];
        logCall(comp, line, vr[i], logged(value[i]));
    }
    return fmi2OK;
}

// The common shape of the integer and boolean setters.
template <typename T, typename Stored, typename Logged>
fmi2Status setValues(const char* name, fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                     const T value[], Stored stored, int32_t count, const char* countLine,
                     const char* line, Logged logged) {
    FmuInstance* comp = instance(c);
    if (invalidState(comp, name, maskSetIntegerBooleanString)) return fmi2Error;
    if (nvr > 0 && nullPointer(comp, name, "vr[]", vr)) return fmi2Error;
    if (nvr > 0 && nullPointer(comp, name, "value[]", value)) return fmi2Error;
    logCall(comp, countLine, static_cast<int>(nvr));
    if (nvr == 0) return fmi2OK;
    for (size_t i = 0; i < nvr; ++i) {
        if (vrOutOfRange(comp, name, vr[i], count)) return fmi2Error;
        logCall(comp, line, vr[i], logged(value[i]));
        stored(comp)[vr[i]] = value[i];
    }
    comp->valuesDirty = fmi2True;
    return fmi2OK;
}

// fmi2SetReal inside its attach bracket.
fmi2Status setReals(FmuInstance* comp, const fmi2ValueReference vr[], size_t nvr,
                    const fmi2Real value[]) {
    const char* name = "fmi2SetReal";
    if (invalidState(comp, name, maskSetReal)) {
        debugTrace(L"invalidState error");
        return fmi2Error;
    }
    if (nvr > 0 && nullPointer(comp, name, "vr[]", vr)) {
        debugTrace(L"nullpointer vr error");
        return fmi2Error;
    }
    if (nvr > 0 && nullPointer(comp, name, "value[]", value)) {
        debugTrace(L"nullpointer value error");
        return fmi2Error;
    }
    logCall(comp, "fmi2SetReal: nvr = %d", static_cast<int>(nvr));
    int32_t numberOfReals = 0;
    const bool counted = getNumberOfReals(comp->serverKey, numberOfReals);
    if (nvr == 0) return fmi2OK;
    int32_t numberOfOutputs = 0;
    // Without the counts nothing tells an input from an output or a value reference too
    // large: nothing is stored or sent.
    if (!counted || !knownNumberOfOutputs(comp, numberOfOutputs)) {
        logErrorLine(comp, "fmi2SetReal: %s", LastError.c_str());
        comp->state = modelError;
        return fmi2Error;
    }
    const int32_t bound = realBound(comp, numberOfReals);
    // The outputs and their copies: the model computes them, and the server ignores them.
    const int64_t computed = 2 * static_cast<int64_t>(numberOfOutputs);
    for (size_t i = 0; i < nvr; ++i) {
        if (vrOutOfRange(comp, name, vr[i], bound)) return fmi2Error;
        if (vr[i] < computed) {
            logErrorLine(comp,
                         "fmi2SetReal: #r%u# is an output; outputs are computed by the model and "
                         "cannot be set.",
                         vr[i]);
            comp->state = modelError;
            debugTraceComposed("    output refused: vr: ", vr[i], ". outputs: ", numberOfOutputs);
            return fmi2Error;
        }
        logCall(comp, "fmi2SetReal: #r%d# = %.16g", vr[i], value[i]);
        debugTraceComposed("i: ", i, ". vr[i]: ", vr[i], ". value[i]:", value[i]);
        comp->realValues[vr[i]] = value[i];
        j_doSetReal(comp->serverKey, vr[i], value[i]);
    }
    comp->valuesDirty = fmi2True;
    return fmi2OK;
}

// Stores one string as the instance's own copy, in memory from the host.
fmi2Status storeString(FmuInstance* comp, size_t i, fmi2ValueReference vr, fmi2String text) {
    const fmi2CallbackFunctions* functions = comp->functions;
    char*& entry = comp->stringValues[vr];
    if (!text) {
        if (entry) functions->freeMemory(entry);
        entry = nullptr;
        filteredLog(comp, fmi2Warning, logError, "fmi2SetString: string argument value[%d] = NULL.",
                    static_cast<int>(i));
        return fmi2OK;
    }
    const size_t length = std::strlen(text);
    if (!entry || std::strlen(entry) < length) {
        if (entry) functions->freeMemory(entry);
        entry = static_cast<char*>(functions->allocateMemory(length + 1, 1));
        if (!entry) {
            comp->state = modelError;
            logErrorLine(comp, "fmi2SetString: Out of memory.");
            return fmi2Error;
        }
    }
    std::memcpy(entry, text, length + 1);
    return fmi2OK;
}

}  // namespace

fmi2Status fmi2GetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                       fmi2Real value[]) {
    debugTrace(L"fmi2GetReal");
    FmuInstance* comp = instance(c);
    const char* name = "fmi2GetReal";
    if (invalidState(comp, name, maskGetValues)) return fmi2Error;
    if (nvr > 0) {
        if (nullPointer(comp, name, "vr[]", vr)) return fmi2Error;
        if (nullPointer(comp, name, "value[]", value)) return fmi2Error;
        if (!refreshIfDirty(comp)) return failedRead(comp);
    }
    int32_t numberOfReals = 0;
    if (!getNumberOfReals(comp->serverKey, numberOfReals) && nvr > 0) return failedRead(comp);
    // A count of 0 or less refuses every value reference: values to read are written or
    // the call fails.
    const int32_t bound = realBound(comp, numberOfReals);
    for (size_t i = 0; i < nvr; ++i) {
        if (vrOutOfRange(comp, name, vr[i], bound)) return fmi2Error;
        value[i] = getReal(comp, vr[i]);
        logCall(comp, "fmi2GetReal: #r%u# = %.16g", vr[i], value[i]);
    }
    debugTrace(L"return fmi2OK");
    return fmi2OK;
}

fmi2Status fmi2GetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                          fmi2Integer value[]) {
    debugTrace(L"fmi2GetInteger");
    return getValues(
        "fmi2GetInteger", c, vr, nvr, value,
        [](FmuInstance* comp) { return comp->integerValues; }, numberOfIntegers,
        "fmi2GetInteger: #i%u# = %d", [](fmi2Integer v) { return v; });
}

fmi2Status fmi2GetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                          fmi2Boolean value[]) {
    debugTrace(L"fmi2GetBoolean");
    return getValues(
        "fmi2GetBoolean", c, vr, nvr, value,
        [](FmuInstance* comp) { return comp->booleanValues; }, numberOfBooleans,
        "fmi2GetBoolean: #b%u# = %s", booleanText);
}

fmi2Status fmi2GetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                         fmi2String value[]) {
    debugTrace(L"fmi2GetString");
    return getValues(
        "fmi2GetString", c, vr, nvr, value,
        [](FmuInstance* comp) { return const_cast<const char**>(comp->stringValues); },
        numberOfStrings, "fmi2GetString: #s%u# = '%s'", [](fmi2String v) { return v; });
}

fmi2Status fmi2SetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                       const fmi2Real value[]) {
    debugTrace(L"fmi2SetReal");
    // One bracket for the whole call, so a thread unknown to the VM is attached once.
    const JavaBracket bracket = java_attach();
    const fmi2Status status = setReals(instance(c), vr, nvr, value);
    java_detach(bracket);
    return status;
}

fmi2Status fmi2SetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                          const fmi2Integer value[]) {
    debugTrace(L"fmi2SetInteger");
    return setValues(
        "fmi2SetInteger", c, vr, nvr, value, [](FmuInstance* comp) { return comp->integerValues; },
        numberOfIntegers, "fmi2SetInteger: nvr = %d", "fmi2SetInteger: #i%d# = %d",
        [](fmi2Integer v) { return v; });
}

fmi2Status fmi2SetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                          const fmi2Boolean value[]) {
    debugTrace(L"fmi2SetBoolean");
    FmuInstance* comp = instance(c);
    const char* name = "fmi2SetBoolean";
    if (invalidState(comp, name, maskSetIntegerBooleanString)) return fmi2Error;
    if (nvr > 0 && nullPointer(comp, name, "vr[]", vr)) return fmi2Error;
    if (nvr > 0 && nullPointer(comp, name, "value[]", value)) return fmi2Error;
    logCall(comp, "fmi2SetBoolean: nvr = %d", static_cast<int>(nvr));
    debugTrace(L"for loop...");
    for (size_t i = 0; i < nvr; ++i) {
        if (vrOutOfRange(comp, name, vr[i], numberOfBooleans)) return fmi2Error;
        logCall(comp, "fmi2SetBoolean: #b%d# = %s", vr[i], booleanText(value[i]));
        comp->booleanValues[vr[i]] = value[i];
    }
    debugTrace(L"for loop DONE");
    if (nvr > 0) comp->valuesDirty = fmi2True;
    return fmi2OK;
}

fmi2Status fmi2SetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                         const fmi2String value[]) {
    debugTrace(L"fmi2SetString");
    FmuInstance* comp = instance(c);
    const char* name = "fmi2SetString";
    if (invalidState(comp, name, maskSetIntegerBooleanString)) return fmi2Error;
    if (nvr > 0 && nullPointer(comp, name, "vr[]", vr)) return fmi2Error;
    if (nvr > 0 && nullPointer(comp, name, "value[]", value)) return fmi2Error;
    logCall(comp, "fmi2SetString: nvr = %d", static_cast<int>(nvr));
    if (nvr == 0) return fmi2OK;
    for (size_t i = 0; i < nvr; ++i) {
        if (vrOutOfRange(comp, name, vr[i], numberOfStrings)) return fmi2Error;
        logCall(comp, "fmi2SetString: #s%d# = '%s'", vr[i], value[i]);
        if (storeString(comp, i, vr[i], value[i]) != fmi2OK) return fmi2Error;
    }
    comp->valuesDirty = fmi2True;
    return fmi2OK;
}
