#include "java_vm.h"

#include "text_encoding.h"
#include "trace.h"

thread_local JNIEnv* java_env = nullptr;
thread_local jclass korvansim_cls = nullptr;
thread_local jobject korvansim_ref = nullptr;
thread_local std::string LastError;
std::mutex facadeLock;
jobject korvansim = nullptr;
int32_t liveInstances = 0;
std::atomic<int32_t> counter{0};

namespace {

// Brackets open on the calling thread.
thread_local int bracketDepth = 0;

constexpr jint javaVersion = JNI_VERSION_1_8;
// Local references a bracket may hold at once; bindings delete theirs as they go.
constexpr jint bracketFrameCapacity = 16;

enum class VmLookup { found, countFailed, listFailed };

// The first VM of the process; the VM is looked up anew every time. Only the first is
// used, so only the first is listed: no allocation on every bracket.
VmLookup findJavaVm(JavaVM** vm) {
    jsize count = 0;
    if (JNI_GetCreatedJavaVMs(nullptr, 0, &count) != JNI_OK) return VmLookup::countFailed;
    if (count < 1) return VmLookup::listFailed;
    jsize listed = 0;
    if (JNI_GetCreatedJavaVMs(vm, 1, &listed) != JNI_OK || listed < 1) return VmLookup::listFailed;
    return VmLookup::found;
}

}  // namespace

bool exceptionCheck(JNIEnv* env, const wchar_t* trace) {
    if (!env || !env->ExceptionCheck()) return false;
    if (trace) debugTrace(trace);
    env->ExceptionDescribe();
    env->ExceptionClear();
    return true;
}

bool exceptionCheck(const wchar_t* trace) { return exceptionCheck(java_env, trace); }

jstring newJavaString(JNIEnv* env, const char* text) {
    static_assert(sizeof(jchar) == sizeof(uint16_t), "jchar is a UTF-16 code unit");
    // Short ASCII texts (keys, property names) are every call's: no heap for them.
    jchar ascii[64];
    jsize length = 0;
    for (const char* c = text ? text : ""; length < 64; ++c, ++length) {
        if (*c == '\0') return env->NewString(ascii, length);
        if (static_cast<unsigned char>(*c) >= 0x80) break;
        ascii[length] = static_cast<jchar>(*c);
    }
    const std::vector<uint16_t> units = utf16FromUtf8(text);
    return env->NewString(reinterpret_cast<const jchar*>(units.data()),
                          static_cast<jsize>(units.size()));
}

std::string takeText(jstring value, bool* unreadable) {
    JNIEnv* const env = java_env;
    std::string text;
    const jsize length = env->GetStringLength(value);
    const jchar* chars = env->GetStringChars(value, nullptr);
    if (chars) {
        text = utf8FromUtf16(reinterpret_cast<const uint16_t*>(chars), static_cast<size_t>(length));
        env->ReleaseStringChars(value, chars);
    } else {
        exceptionCheck(env, nullptr);
        if (unreadable) *unreadable = true;
    }
    env->DeleteLocalRef(value);
    return text;
}

std::string getJavaProperty(const char* key) {
    debugTraceComposed("getJavaProperty: ", key);
    std::string result;
    JNIEnv* env = java_env;
    jclass systemClass = env->FindClass("java/lang/System");
    if (!systemClass) {
        exceptionCheck(nullptr);
        return result;
    }
    jmethodID getProperty = env->GetStaticMethodID(systemClass, "getProperty",
                                                   "(Ljava/lang/String;)Ljava/lang/String;");
    exceptionCheck(L"Exception getJavaProperty");
    if (getProperty) {
        debugTrace(L"methodid getProperty OK");
        jstring jkey = newJavaString(env, key);
        if (!exceptionCheck(nullptr)) {
            auto value =
                static_cast<jstring>(env->CallStaticObjectMethod(systemClass, getProperty, jkey));
            exceptionCheck(nullptr);
            if (value) result = takeText(value);
            env->DeleteLocalRef(jkey);
        }
    }
    env->DeleteLocalRef(systemClass);
    return result;
}

bool java_setup() {
    debugTrace(L"java_setup...");
    JavaVM* vm = nullptr;
    switch (findJavaVm(&vm)) {
    case VmLookup::countFailed:
        debugTrace(L"FATAL ERROR: JNI_GetCreatedJavaVMs failed (1)");
        return false;
    case VmLookup::listFailed:
        debugTrace(L"FATAL ERROR: JNI_GetCreatedJavaVMs failed (2)");
        return false;
    case VmLookup::found:
        break;
    }
    // The instantiating thread is expected to be known to the VM already.
    void* env = nullptr;
    const jint got = vm->GetEnv(&env, javaVersion);
    debugTrace(L"GetEnv Done");
    if (got != JNI_OK || !env) return false;
    java_env = static_cast<JNIEnv*>(env);
    if (getJavaProperty("kv.root").empty()) debugTrace(L"kv.root is empty");
    debugTrace(L"java_setup DONE");
    return true;
}

jobject facadeReference() {
    JNIEnv* const env = java_env;
    if (!env) return nullptr;
    const std::lock_guard<std::mutex> lock(facadeLock);
    return korvansim ? env->NewLocalRef(korvansim) : nullptr;
}

namespace {

void lookUpFacadeClass(JNIEnv* env) {
    korvansim_cls = env->FindClass("com/korvan/kvbridge/KorvanSim");
    if (!korvansim_cls) {
        exceptionCheck(env, nullptr);
        debugTrace(L"class KorvanSim not found");
    }
}

void pushBracketFrame(JNIEnv* env, JavaBracket& bracket) {
    bracket.framed = env->PushLocalFrame(bracketFrameCapacity) == JNI_OK;
    exceptionCheck(env, nullptr);
}

}  // namespace

JavaBracket java_attach() {
    const jclass enclosingClass = korvansim_cls;
    JNIEnv* const enclosingEnv = java_env;
    JavaBracket bracket{false, false, enclosingClass, korvansim_ref, enclosingEnv, nullptr, nullptr};
    if (bracketDepth++ > 0 && enclosingEnv) {
        // Inside an operation of this thread, which has the thread's environment already.
        bracket.env = enclosingEnv;
        pushBracketFrame(enclosingEnv, bracket);
        if (!enclosingClass) lookUpFacadeClass(enclosingEnv);
        return bracket;
    }
    JavaVM* vm = nullptr;
    void* env = nullptr;
    if (findJavaVm(&vm) != VmLookup::found) {
        debugTrace(L"FATAL ERROR: JNI_GetCreatedJavaVMs failed (1)");
    } else if (vm->GetEnv(&env, javaVersion) == JNI_EDETACHED) {
        if (vm->AttachCurrentThread(&env, nullptr) == JNI_OK) {
            bracket.attached = true;
            bracket.vm = vm;
        }
    }
    // An environment is valid on its own thread only: without one for this thread the
    // operation makes no Java call at all.
    JNIEnv* const threadEnv = static_cast<JNIEnv*>(env);
    java_env = threadEnv;
    bracket.env = threadEnv;
    if (!threadEnv) return bracket;
    pushBracketFrame(threadEnv, bracket);
    lookUpFacadeClass(threadEnv);
    korvansim_ref = facadeReference();
    return bracket;
}

JavaBracket java_attach_setup(JNIEnv* env) {
    JavaBracket bracket{false, false, korvansim_cls, korvansim_ref, java_env, env, nullptr};
    ++bracketDepth;
    java_env = env;
    korvansim_ref = nullptr;
    pushBracketFrame(env, bracket);
    return bracket;
}

void java_detach(const JavaBracket& bracket) {
    // Inner brackets that found no VM leave java_env null: the frame is this bracket's.
    if (bracket.framed) {
        exceptionCheck(bracket.env, nullptr);
        bracket.env->PopLocalFrame(nullptr);
    }
    // The references of this bracket go with its frame; the enclosing bracket's own (null
    // outside every operation) are still valid, and so is its environment.
    korvansim_cls = bracket.enclosingClass;
    korvansim_ref = bracket.enclosingFacade;
    java_env = bracket.enclosingEnv;
    --bracketDepth;
    if (!bracket.attached) return;
    // Detached from the VM that attached it: a second lookup could fail and leave the
    // thread attached for good.
    bracket.vm->DetachCurrentThread();
    java_env = nullptr;  // it was valid for the attachment only
}
