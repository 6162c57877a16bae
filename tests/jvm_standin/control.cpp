// The control interface that test programs use (jvm_standin.h).
#define JVM_STANDIN_BUILDING
#include "jvm_standin.h"

#include "vm_model.h"

#include <set>
#include <string>

using namespace standin;

namespace {

struct Held {
    std::lock_guard<std::mutex> hold{vm().lock};
};

std::unique_ptr<std::string> optionalText(const char* text) {
    return text ? std::make_unique<std::string>(text) : nullptr;
}

const char* joined(const std::vector<std::string>& lines, std::string& buffer) {
    buffer.clear();
    for (const std::string& line : lines) buffer += line + "\n";
    return buffer.c_str();
}

const std::set<std::string> failingFunctions = {
    "JNI_GetCreatedJavaVMs", "GetEnv", "AttachCurrentThread", "FindClass", "GetMethodID",
    "GetStaticMethodID", "NewString", "GetStringChars", "NewDoubleArray",
    "GetDoubleArrayElements", "PushLocalFrame", "NewGlobalRef"};

}  // namespace

void jvmStandinReset(void) {
    Held h;
    Vm& v = vm();
    v.script = Script{};
    v.script.systemProperties["kv.root"] = std::make_unique<std::string>("/opt/kv");
    v.failAt.clear();
    v.injected = 0;
    v.callCounts.clear();
    v.serverInstances.clear();
    v.jniCalls.clear();
    v.facadeCalls.clear();
    v.violations.clear();
    v.loans.clear();
    for (auto& thread : v.threads)
        if (thread->attached) detach(*thread);
    v.violations.clear();  // detaching here is the reset's own doing
}

void jvmStandinBecomeJavaThread(void) {
    Held h;
    attach(currentThread(), true);
}

void jvmStandinAnswer(const char* method, int value) {
    Held h;
    vm().script.answers[method] = value != 0;
}

void jvmStandinProp(const char* key, const char* valueOrNull) {
    Held h;
    vm().script.props[key] = optionalText(valueOrNull);
}

void jvmStandinLastError(const char* textOrNull) {
    Held h;
    vm().script.lastError = optionalText(textOrNull);
}

void jvmStandinData(const double* values, int count) {
    Held h;
    vm().script.data =
        count < 0 ? nullptr : std::make_unique<std::vector<double>>(values, values + count);
}

void jvmStandinThrowIn(const char* method) {
    Held h;
    vm().script.throwing.insert(method);
}

void jvmStandinRemoveMethod(const char* method) {
    Held h;
    vm().script.missing.insert(method);
}

void jvmStandinCreateReturnsNull(int yes) {
    Held h;
    vm().script.createReturnsNull = yes != 0;
}

void jvmStandinSystemProperty(const char* key, const char* valueOrNull) {
    Held h;
    vm().script.systemProperties[key] = optionalText(valueOrNull);
}

void jvmStandinVmCount(int count) {
    Held h;
    vm().script.vmCount = count;
}

int jvmStandinFailAt(const char* function, int nth) {
    Held h;
    if (!failingFunctions.count(function) || nth < 1) return 0;
    vm().failAt[function] = nth;
    return 1;
}

int jvmStandinInjectedFailures(void) {
    Held h;
    return vm().injected;
}

int jvmStandinCallCount(const char* function) {
    Held h;
    auto found = vm().callCounts.find(function);
    return found == vm().callCounts.end() ? 0 : found->second;
}

const char* jvmStandinJniCalls(void) {
    static std::string buffer;
    Held h;
    return joined(vm().jniCalls, buffer);
}

const char* jvmStandinFacadeCalls(void) {
    static std::string buffer;
    Held h;
    return joined(vm().facadeCalls, buffer);
}

const char* jvmStandinViolations(void) {
    static std::string buffer;
    Held h;
    return joined(vm().violations, buffer);
}

const char* jvmStandinCreationOptions(void) {
    Held h;
    static std::string buffer;
    return joined(vm().creationOptions, buffer);
}

void jvmStandinCheckQuiescent(void) {
    Held h;
    Vm& v = vm();
    for (const auto& state : v.threads) {
        const ThreadState& thread = *state;
        if (!thread.attached) continue;
        const std::string who = describe(thread);
        if (!thread.javaThread)
            violation(who + (thread.ended ? " ended" : " left") + " attached by the library");
        if (thread.frames.size() > 1)
            violation(who + ": " + std::to_string(thread.frames.size() - 1) +
                      " local frame(s) left pushed");
        if (thread.pending)
            violation(who + ": exception left pending: " + thread.pending->text + ": " +
                      thread.pending->message);
    }
    if (!v.loans.empty())
        violation(std::to_string(v.loans.size()) + " string or array buffer(s) not given back");
}

int jvmStandinThreadAttached(void) {
    Held h;
    return currentThread().attached ? 1 : 0;
}

int jvmStandinLiveGlobalRefs(void) {
    Held h;
    int live = 0;
    for (const Reference& reference : vm().references)
        if (reference.global && !reference.deleted) ++live;
    return live;
}

int jvmStandinLiveServerInstances(void) {
    Held h;
    return static_cast<int>(vm().serverInstances.size());
}

int jvmStandinLocalRefs(void) {
    Held h;
    long live = 0;
    for (const Frame& frame : currentThread().frames) live += frame.live;
    return static_cast<int>(live);
}
