// The invocation interface: the one VM of the process, found through the exported
// JNI_GetCreatedJavaVMs, and the attaching and detaching of threads.
#define _JNI_IMPLEMENTATION_  // jni.h then declares the invocation functions as exported
#include "entry.h"
#include "jni_entries.h"

#include <cstddef>
#include <cstring>
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
