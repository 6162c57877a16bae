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

constexpr jint setUpFrameCapacity = 16;

// Steps of the set-up after the environment is known; LastError says why one failed.
bool setUpServerInstance(const char* instanceName, const char* resourceLocation) {
    korvansim_setup();
    // Whichever set-up left the facade object, this one's calls go to it.
    korvansim_ref = facadeReference();
    if (!korvansim_ref) {
        debugTrace(L"FATAL ERROR: korvansim is null");
        LastError = "Cannot find Java classes";
        return false;
    }
    if (!j_initConnection()) {
        debugTrace(L"FATAL ERROR: not connected");
        LastError = "Not connected";
        return false;
    }
    if (j_doInstantiate(instanceName, resourceLocation)) return true;
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

// A count for a caller that must not take a failure of the Java VM for the server's
// answer: false, with the reason in LastError, when the VM failed the query itself (a
// missing method or a text without a number is the server's answer and counts 0).
bool readCount(const char* instanceName, const char* key, int32_t& count) {
    bool vmFailed = false;
    const std::string text = j_getProp(instanceName, key, &vmFailed);
    if (vmFailed) {
        LastError = std::string("The Java VM failed while asking the server for \"") + key +
                    "\" (it could not make or read a string, e.g. for lack of memory)";
        return false;
    }
    count = parseCount(text.c_str());
    return true;
}

}  // namespace

bool doInstantiate(const char* instanceName, const char* resourceLocation) {
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
    const jclass enclosingClass = korvansim_cls;
    const jobject enclosingFacade = korvansim_ref;
    // The set-up runs outside any bracket: its local references get a frame of their own.
    const bool framed = env->PushLocalFrame(setUpFrameCapacity) == JNI_OK;
    exceptionCheck(nullptr);
    const bool created = setUpServerInstance(instanceName, resourceLocation);
    if (!created) {
        const std::lock_guard<std::mutex> lock(facadeLock);
        // A facade object that serves no instance is not kept.
        if (--liveInstances == 0 && korvansim) {
            env->DeleteGlobalRef(korvansim);
            korvansim = nullptr;
        }
    }
    if (framed) env->PopLocalFrame(nullptr);
    // This set-up's references went with its frame.
    korvansim_cls = enclosingClass;
    korvansim_ref = enclosingFacade;
    java_env = env;
    return created;
}

int32_t parseCount(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    int64_t value = 0;
    for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
        // Saturate rather than wrap: an absurd count must stay absurd.
        if (value <= std::numeric_limits<int32_t>::max()) value = value * 10 + (*p - '0');
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

int32_t getNumberOfReals(const char* instanceName) {
    return parseCount(j_getProp(instanceName, "number_of_reals").c_str());
}

int32_t getNumberOfInputs(const char* instanceName) {
    return parseCount(j_getProp(instanceName, "number_of_inputs").c_str());
}

int32_t getNumberOfOutputs(const char* instanceName) {
    return parseCount(j_getProp(instanceName, "number_of_outputs").c_str());
}

bool readNumberOfReals(const char* instanceName, int32_t& count) {
    return readCount(instanceName, "number_of_reals", count);
}

fmi2Status stepModel(FmuInstance* comp, fmi2Real communicationStepSize) {
    debugTrace(L"stepModel");
    debugTrace(comp->instanceName);
    LastError.clear();
    const JavaBracket bracket = java_attach();
    int32_t nIn = 0;
    int32_t nOut = 0;
    std::vector<double> inputs;
    fmi2Status status = fmi2Error;
    // Counts the VM could not carry would send the wrong block as the inputs: no step then.
    if (readCount(comp->instanceName, "number_of_inputs", nIn) &&
        readCount(comp->instanceName, "number_of_outputs", nOut) &&
        collectInputs(comp, nIn, nOut, inputs)) {
        exceptionCheck(L"Exception before j_stepModel");
        status = j_stepModel(comp->instanceName, comp->time, communicationStepSize, inputs);
    }
    if (status == fmi2OK) {
        // A step whose outputs did not arrive must not pass for one that gave them.
        if (!getoutputsfromkorvan(comp)) status = fmi2Error;
        exceptionCheck(L"Exception after getoutputsfromkorvan");
    } else {
        debugTraceComposed("j_stepModel did not return fmi2OK: ", status);
    }
    java_detach(bracket);
    return status;
}

bool getoutputsfromkorvan(FmuInstance* comp) {
    debugTrace(L"getoutputsfromkorvan");
    bool vmFailed = false;
    const std::vector<double> values = j_getData(comp->instanceName, &vmFailed);
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
    const bool counted = readCount(comp->instanceName, "number_of_outputs", nOut);
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
