// The invocation interface: the one VM of the process, found through the exported
// JNI_GetCreatedJavaVMs, and the attaching and detaching of threads.
#define _JNI_IMPLEMENTATION_  // jni.h then declares the invocation functions as exported
#include "entry.h"
#include "jni_entries.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

namespace standin {

namespace {

// The VM's own calls name no environment: they only lock and record.
struct VmEntry {
    std::lock_guard<std::mutex> hold{vm().lock};
    ThreadState& thread;
    explicit VmEntry(const char* function) : thread(currentThread()) {
        ++vm().callCounts[function];
        vm().jniCalls.push_back("t" + std::to_string(thread.number) + " " + function);
    }
};

JavaVM theVm;

bool ours(JavaVM* v, const char* function) {
    if (v == &theVm) return true;
    violation(std::string(function) + ": not the VM that JNI_GetCreatedJavaVMs reported");
    return false;
}

jint JNICALL getEnv(JavaVM* v, void** env, jint version) {
    VmEntry e("GetEnv");
    if (!ours(v, "GetEnv") || !env) return JNI_ERR;
    *env = nullptr;
    if (failsNow("GetEnv") || version < JNI_VERSION_1_1 || version > JNI_VERSION_10)
        return JNI_EVERSION;
    if (!e.thread.attached) return JNI_EDETACHED;
    *env = &e.thread.env;
    return JNI_OK;
}

jint JNICALL attachCurrentThread(JavaVM* v, void** env, void*) {
    VmEntry e("AttachCurrentThread");
    if (!ours(v, "AttachCurrentThread") || !env) return JNI_ERR;
    if (failsNow("AttachCurrentThread")) {
        *env = nullptr;
        return JNI_ERR;
    }
    if (!e.thread.attached) attach(e.thread, false);
    *env = &e.thread.env;
    return JNI_OK;
}

// The provider attaches host threads as daemons; to the library they are attached threads.
jint JNICALL attachCurrentThreadAsDaemon(JavaVM* v, void** env, void*) {
    VmEntry e("AttachCurrentThreadAsDaemon");
    if (!ours(v, "AttachCurrentThreadAsDaemon") || !env) return JNI_ERR;
    if (!e.thread.attached) attach(e.thread, false);
    *env = &e.thread.env;
    return JNI_OK;
}

jint JNICALL detachCurrentThread(JavaVM* v) {
    VmEntry e("DetachCurrentThread");
    if (!ours(v, "DetachCurrentThread")) return JNI_ERR;
    if (!e.thread.attached) {
        violation("DetachCurrentThread on " + describe(e.thread) + ", which is not attached");
        return JNI_EDETACHED;
    }
    if (e.thread.javaThread)
        violation("DetachCurrentThread on " + describe(e.thread) +
                  ", a Java thread of the host, which the library did not attach");
    detach(e.thread);
    return JNI_OK;
}

// A VM created where the test cannot script it first takes its server from its options:
// -Dkvfmu.standin.layout=REALS,OUTPUTS,INPUTS and -Dkvfmu.standin.data=V,V,...
void scriptFromOption(const std::string& option) {
    auto value = [&option](const std::string& key) -> std::optional<std::string> {
        const std::string prefix = "-D" + key + "=";
        if (option.rfind(prefix, 0) != 0) return std::nullopt;
        return option.substr(prefix.size());
    };
    auto fields = [](const std::string& list) {
        std::vector<std::string> parts;
        size_t begin = 0;
        for (size_t comma; (comma = list.find(',', begin)) != std::string::npos; begin = comma + 1)
            parts.push_back(list.substr(begin, comma - begin));
        parts.push_back(list.substr(begin));
        return parts;
    };
    Script& script = vm().script;
    if (const auto layout = value("kvfmu.standin.layout")) {
        const std::vector<std::string> counts = fields(*layout);
        const char* keys[] = {"number_of_reals", "number_of_outputs", "number_of_inputs"};
        for (size_t i = 0; i < 3 && i < counts.size(); ++i)
            script.props[keys[i]] = std::make_unique<std::string>(counts[i]);
    }
    if (const auto data = value("kvfmu.standin.data")) {
        auto values = std::make_unique<std::vector<double>>();
        for (const std::string& field : fields(*data)) values->push_back(std::strtod(field.c_str(), nullptr));
        script.data = std::move(values);
    }
}

enum InvokeEntry {
#define STANDIN_INVOKE_ENUM(name) invokeEntry_##name,
    JNI_INVOKE_ENTRIES(STANDIN_INVOKE_ENUM)
#undef STANDIN_INVOKE_ENUM
        invokeEntryCount
};

const char* const invokeEntryNames[] = {
#define STANDIN_INVOKE_NAME(name) #name,
    JNI_INVOKE_ENTRIES(STANDIN_INVOKE_NAME)
#undef STANDIN_INVOKE_NAME
};

#define STANDIN_INVOKE_ORDER(name)                                                        \
    static_assert(offsetof(JNIInvokeInterface_, name) == invokeEntry_##name * sizeof(void*), \
                  "entry " #name " out of table order");
JNI_INVOKE_ENTRIES(STANDIN_INVOKE_ORDER)
#undef STANDIN_INVOKE_ORDER
static_assert(sizeof(JNIInvokeInterface_) == invokeEntryCount * sizeof(void*),
              "the entry list does not cover the table");

template <size_t index>
void* invokeTrap() {
    trap("JNI invocation", invokeEntryNames[index]);
    return nullptr;
}

template <size_t... indexes>
JNIInvokeInterface_ makeInvokeTable(std::index_sequence<indexes...>) {
    JNIInvokeInterface_ table;
    void* entries[] = {reinterpret_cast<void*>(&invokeTrap<indexes>)...};
    std::memcpy(&table, entries, sizeof entries);
    table.GetEnv = getEnv;
    table.AttachCurrentThread = attachCurrentThread;
    table.DetachCurrentThread = detachCurrentThread;
    table.AttachCurrentThreadAsDaemon = attachCurrentThreadAsDaemon;
    return table;
}

const JNIInvokeInterface_ invokeTable =
    makeInvokeTable(std::make_index_sequence<invokeEntryCount>());

}  // namespace

}  // namespace standin

JNIEXPORT jint JNICALL JNI_GetCreatedJavaVMs(JavaVM** vms, jsize size, jsize* count) {
    using namespace standin;
    VmEntry e("JNI_GetCreatedJavaVMs");
    theVm.functions = &invokeTable;
    if (failsNow("JNI_GetCreatedJavaVMs")) return JNI_ERR;
    const int available = vm().script.vmCount;
    for (jsize i = 0; vms && i < size && i < available; ++i) vms[i] = &theVm;
    if (count) *count = available;
    return JNI_OK;
}

// Creates "the" VM once, as a host or an FMU's provider does where none runs; the creating
// thread is attached by the VM, like a Java thread of the host. The options are recorded.
JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** created, void** env, void* arguments) {
    using namespace standin;
    VmEntry e("JNI_CreateJavaVM");
    theVm.functions = &invokeTable;
    if (!created || !env || !arguments) return JNI_EINVAL;
    if (vm().created) return JNI_EEXIST;
    const auto* init = static_cast<const JavaVMInitArgs*>(arguments);
    vm().creationOptions.clear();
    for (jint i = 0; i < init->nOptions; ++i) {
        const JavaVMOption& option = init->options[i];
        vm().creationOptions.push_back(std::string(option.optionString) +
                                       (option.extraInfo ? " (hook)" : ""));
        scriptFromOption(option.optionString);
    }
    vm().created = true;
    vm().script.vmCount = 1;
    attach(e.thread, true);
    *created = &theVm;
    *env = &e.thread.env;
    return JNI_OK;
}
