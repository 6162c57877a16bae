#include "server_exchange.h"

#include "facade.h"
#include "java_vm.h"
#include "trace.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <sstream>
#include <vector>

namespace {

// Steps of the set-up after the environment is known, inside the set-up's bracket;
// LastError says why one failed.
bool setUpServerInstance(const char* serverKey, const char* resourceLocation) {
    // The set-up's own facade object: no other thread sees it before it is connected. When
    // none could be made, the one an earlier set-up left serves.
    const jobject made = korvansim_setup();
    korvansim_ref = made ? java_env->NewLocalRef(made) : facadeReference();
    if (!korvansim_ref) {
        debugTrace(L"FATAL ERROR: korvansim is null");
        LastError = "Cannot find Java classes";
        if (made) java_env->DeleteGlobalRef(made);
        return false;
    }
    if (!j_initConnection()) {
        debugTrace(L"FATAL ERROR: not connected");
        LastError = "Not connected";
        if (made) java_env->DeleteGlobalRef(made);
        return false;
    }
    if (made) publishFacade(made);
    if (j_doInstantiate(serverKey, resourceLocation)) return true;
    debugTrace(L"FATAL ERROR: j_doInstantiate");
    LastError = j_getLasterror();
    return false;
}

// The input block 2·nOut .. 2·nOut+nIn-1 of realValues, or false (with the reason in
// LastError) when it does not lie inside the array.
bool collectInputs(const FmuInstance* comp, int32_t nIn, int32_t nOut,
                   std::vector<double>& inputs) {
    if (nIn < 1) return true;
    const int64_t first = 2 * static_cast<int64_t>(nOut);
    const int64_t end = first + nIn;
    if (first < 0 || end > static_cast<int64_t>(comp->realValuesLength)) {
        std::ostringstream reason;
        reason << "The server's input block (value references " << first << " to " << end - 1
               << ") lies outside the " << comp->realValuesLength
               << " real values of the instance";
        LastError = reason.str();
        return false;
    }
    inputs.assign(comp->realValues + first, comp->realValues + end);
    return true;
}

// A count of the instance; false, with the reason in LastError, when the server gave none.
bool readCount(const char* serverKey, const char* property, int32_t& count) {
    const PropertyAnswer answer = j_getProp(serverKey, property);
    const std::string quoted = std::string("\"") + property + "\"";
    switch (answer.kind) {
    case PropertyAnswer::answered:
        if (parseCount(answer.text.c_str(), count)) return true;
        LastError = "The server reported \"" + answer.text + "\" for " + quoted +
                    ", which is not a count";
        return false;
    case PropertyAnswer::refused:
        LastError = "The server did not report " + quoted +
                    (answer.text.empty() ? std::string() : ": " + answer.text);
        return false;
    case PropertyAnswer::noMethod:
        LastError = "The server did not report " + quoted +
                    ": the facade com.korvan.kvbridge.KorvanSim has no method getProp(String, "
                    "String) or could not be reached";
        return false;
    case PropertyAnswer::vmFailed:
        break;
    }
    LastError = "The Java VM failed while asking the server for " + quoted + " (" + answer.text + ")";
    return false;
}

}  // namespace

bool doInstantiate(const char* serverKey, const char* resourceLocation) {
    debugTrace(L"doInstantiate");
    LastError.clear();
    debugTraceComposed("counter: ", ++counter);
    debugTrace(L"setup java");
    if (!java_setup()) return false;
    // The environment java_setup took for this thread: the set-up's brackets may leave
    // java_env null when they cannot find the VM.
    JNIEnv* const env = java_env;
    {
        // Counted from the start, so that no other thread's release takes the facade
        // object away from this set-up.
        const std::lock_guard<std::mutex> lock(facadeLock);
        ++liveInstances;
    }
    const JavaBracket bracket = java_attach_setup(env);
    const bool created = setUpServerInstance(serverKey, resourceLocation);
    if (!created) {
        const std::lock_guard<std::mutex> lock(facadeLock);
        // A facade object that serves no instance is not kept.
        if (--liveInstances == 0 && korvansim) {
            env->DeleteGlobalRef(korvansim);
            korvansim = nullptr;
        }
    }
    java_detach(bracket);
    return created;
}

bool parseCount(const char* text, int32_t& count) {
    if (!text) return false;
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    int64_t value = 0;
    for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
        // Saturate rather than wrap: an absurd count must stay absurd.
        if (value <= std::numeric_limits<int32_t>::max()) value = value * 10 + (*p - '0');
    }
    if (negative) value = -value;
    count = static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                     std::numeric_limits<int32_t>::max()));
    return true;
}

bool getNumberOfReals(const char* serverKey, int32_t& count) {
    return readCount(serverKey, "number_of_reals", count);
}

bool getNumberOfInputs(const char* serverKey, int32_t& count) {
    return readCount(serverKey, "number_of_inputs", count);
}

bool getNumberOfOutputs(const char* serverKey, int32_t& count) {
    return readCount(serverKey, "number_of_outputs", count);
}

namespace {

bool askNumberOfOutputs(FmuInstance* comp, int32_t& count) {
    if (!getNumberOfOutputs(comp->serverKey, count)) return false;
    comp->outputCount = count;
    comp->outputCountKnown = fmi2True;
    return true;
}

}  // namespace

bool knownNumberOfOutputs(FmuInstance* comp, int32_t& count) {
    if (!comp->outputCountKnown) return askNumberOfOutputs(comp, count);
    count = comp->outputCount;
    return true;
}

fmi2Status stepModel(FmuInstance* comp, fmi2Real communicationStepSize) {
    debugTrace(L"stepModel");
    debugTrace(comp->serverKey);
    LastError.clear();
    const JavaBracket bracket = java_attach();
    int32_t nIn = 0;
    int32_t nOut = 0;
    std::vector<double> inputs;
    fmi2Status status = fmi2Error;
    // Without both counts the input block is unknown: no step then.
    if (getNumberOfInputs(comp->serverKey, nIn) && askNumberOfOutputs(comp, nOut) &&
        collectInputs(comp, nIn, nOut, inputs)) {
        exceptionCheck(L"Exception before j_stepModel");
        status = j_stepModel(comp->serverKey, comp->time, communicationStepSize, inputs);
    }
    if (status == fmi2OK) {
        // A step whose outputs did not arrive must not pass for one that gave them.
        if (!getoutputsfromkorvan(comp)) status = fmi2Error;
        exceptionCheck(L"Exception after getoutputsfromkorvan");
    } else {
        debugTraceComposed("j_stepModel did not return fmi2OK: ", status);
        // The server's reason, asked on the attachment of the failed call: a thread unknown
        // to the VM is a new Java thread at its next attachment.
        if (LastError.empty()) LastError = j_getLasterror();
    }
    java_detach(bracket);
    return status;
}

bool getoutputsfromkorvan(FmuInstance* comp) {
    debugTrace(L"getoutputsfromkorvan");
    bool vmFailed = false;
    const std::vector<double> values = j_getData(comp->serverKey, &vmFailed);
    if (vmFailed) {
        LastError = "The Java VM failed while fetching the outputs from the server (it could "
                    "not make a string or read the array, e.g. for lack of memory)";
        return false;
    }
    debugTraceComposed("getoutputsfromkorvan. outputs.size: ", values.size());
    // Values beyond the real array have no value reference to be read through: dropped.
    const size_t fitting = std::min(values.size(), comp->realValuesLength);
    for (size_t i = 0; i < fitting; ++i) comp->realValues[i] = values[i];
    comp->valuesDirty = fmi2True;
    return true;
}

bool calculateValues(FmuInstance* comp) {
    debugTrace(L"calculateValues");
    const JavaBracket bracket = java_attach();
    if (comp->state == modelInitializationMode) {
        debugTrace(L"modelInitializationMode");
        if (!getoutputsfromkorvan(comp)) {
            java_detach(bracket);
            return false;
        }
    }
    int32_t nOut = 0;
    const bool counted = askNumberOfOutputs(comp, nOut);
    const size_t length = comp->realValuesLength;
    for (size_t i = 0; nOut > 0 && i < static_cast<size_t>(nOut) && nOut + i < length; ++i)
        comp->realValues[nOut + i] = comp->realValues[i];
    java_detach(bracket);
    return counted;
}

fmi2Real getReal(const FmuInstance* comp, fmi2ValueReference vr) {
    debugTraceComposed("getReal  time: ", comp->time, "  vr:", vr, "  value: ",
                       comp->realValues[vr]);
    return comp->realValues[vr];
}
