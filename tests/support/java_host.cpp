#include "java_host.h"

#include <gtest/gtest.h>
#include <jvmti.h>

#include <cstdlib>
#include <sstream>

namespace {

JavaVM* vm = nullptr;
JNIEnv* mainEnv = nullptr;
jvmtiEnv* jvmti = nullptr;

std::vector<std::string> optionsFromEnvironment() {
    std::vector<std::string> options;
    const char* text = std::getenv("KVFMU_TEST_JVM_OPTIONS");
    std::istringstream words(text ? text : "");
    for (std::string word; words >> word;) options.push_back(word);
    return options;
}

// Fails the test when the last call threw, and clears the exception so that the next
// test starts clean.
void expectNoException(JNIEnv* env, const char* what) {
    if (!env->ExceptionCheck()) return;
    env->ExceptionDescribe();
    env->ExceptionClear();
    ADD_FAILURE() << "Java exception in Script." << what;
}

jclass scriptClass(JNIEnv* env) {
    jclass cls = env->FindClass("com/korvan/kvbridge/Script");
    expectNoException(env, "<class>");
    return cls;
}

// Calls a static void method of Script whose arguments are already made.
template <typename... Args>
void callScript(const char* name, const char* signature, Args... args) {
    JNIEnv* env = mainEnv;
    jclass cls = scriptClass(env);
    if (!cls) return;
    jmethodID method = env->GetStaticMethodID(cls, name, signature);
    expectNoException(env, name);
    if (method) {
        env->CallStaticVoidMethod(cls, method, args...);
        expectNoException(env, name);
    }
    env->DeleteLocalRef(cls);
}

// A Java string for the text, null for null; the caller deletes it.
jstring javaText(const char* text) {
    if (!text) return nullptr;
    jstring s = mainEnv->NewStringUTF(text);
    expectNoException(mainEnv, "<string>");
    return s;
}

void callScriptWithText(const char* name, const char* text) {
    jstring s = javaText(text);
    callScript(name, "(Ljava/lang/String;)V", s);
    if (s) mainEnv->DeleteLocalRef(s);
}

// Calls a static method of Script without arguments that answers an object; the caller
// deletes the answer.
jobject scriptObject(const char* name, const char* signature) {
    JNIEnv* env = mainEnv;
    jclass cls = scriptClass(env);
    if (!cls) return nullptr;
    jobject result = nullptr;
    jmethodID method = env->GetStaticMethodID(cls, name, signature);
    expectNoException(env, name);
    if (method) {
        result = env->CallStaticObjectMethod(cls, method);
        expectNoException(env, name);
    }
    env->DeleteLocalRef(cls);
    return result;
}

jint heapRootCounter(jvmtiHeapReferenceKind kind, const jvmtiHeapReferenceInfo* info, jlong,
                     jlong, jlong, jlong*, jlong*, jint, void* userData) {
    auto* wanted = static_cast<std::pair<jlong, size_t>*>(userData);
    if (kind == JVMTI_HEAP_REFERENCE_JNI_LOCAL && info->jni_local.thread_tag == wanted->first)
        ++wanted->second;
    return 0;  // roots only: no need to walk the heap
}

jint globalRootCounter(jvmtiHeapReferenceKind kind, const jvmtiHeapReferenceInfo*, jlong, jlong,
                       jlong, jlong*, jlong*, jint, void* userData) {
    if (kind == JVMTI_HEAP_REFERENCE_JNI_GLOBAL) ++*static_cast<size_t*>(userData);
    return 0;  // roots only
}

}  // namespace

JavaVM* startJavaVmWithClassPath(const std::string& classPath,
                                 const std::vector<std::string>& extraOptions) {
    std::vector<std::string> texts{"-Djava.class.path=" + classPath, "-Xmx128m",
                                   "-XX:+UseSerialGC", "-XX:TieredStopAtLevel=1"};
    texts.insert(texts.end(), extraOptions.begin(), extraOptions.end());
    for (const std::string& option : optionsFromEnvironment()) texts.push_back(option);
    std::vector<JavaVMOption> options;
    for (std::string& text : texts) options.push_back({text.data(), nullptr});

    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_8;
    args.nOptions = static_cast<jint>(options.size());
    args.options = options.data();
    args.ignoreUnrecognized = JNI_FALSE;
    void* env = nullptr;
    if (JNI_CreateJavaVM(&vm, &env, &args) != JNI_OK) return vm = nullptr;
    mainEnv = static_cast<JNIEnv*>(env);

    // Tagging lets the local reference count pick out one thread's roots.
    if (vm->GetEnv(reinterpret_cast<void**>(&jvmti), JVMTI_VERSION_1_2) == JNI_OK) {
        jvmtiCapabilities capabilities{};
        capabilities.can_tag_objects = 1;
        if (jvmti->AddCapabilities(&capabilities) != JVMTI_ERROR_NONE) jvmti = nullptr;
    }
    return vm;
}

JavaVM* testJavaVm() { return vm; }
JNIEnv* mainThreadEnv() { return mainEnv; }

jint javaThreadStatus() {
    void* env = nullptr;
    return vm->GetEnv(&env, JNI_VERSION_1_8);
}

bool javaExceptionPending() { return mainEnv->ExceptionCheck(); }

void scriptReset() { callScript("reset", "()V"); }

void scriptAnswer(const char* method, bool value) {
    jstring name = javaText(method);
    callScript("answer", "(Ljava/lang/String;Z)V", name, static_cast<jboolean>(value));
    mainEnv->DeleteLocalRef(name);
}

void scriptProp(const char* key, const char* valueOrNull) {
    jstring k = javaText(key);
    jstring v = javaText(valueOrNull);
    callScript("prop", "(Ljava/lang/String;Ljava/lang/String;)V", k, v);
    mainEnv->DeleteLocalRef(k);
    if (v) mainEnv->DeleteLocalRef(v);
}

void scriptLayout(const char* reals, const char* outputs, const char* inputs) {
    scriptProp("number_of_reals", reals);
    scriptProp("number_of_outputs", outputs);
    scriptProp("number_of_inputs", inputs);
}

void scriptLastError(const char* textOrNull) { callScriptWithText("lastError", textOrNull); }

void scriptData(const std::vector<double>& values) {
    const auto n = static_cast<jsize>(values.size());
    jdoubleArray array = mainEnv->NewDoubleArray(n);
    expectNoException(mainEnv, "data");
    if (!array) return;
    mainEnv->SetDoubleArrayRegion(array, 0, n, values.data());
    callScript("data", "([D)V", array);
    mainEnv->DeleteLocalRef(array);
}

void scriptNoData() { callScript("data", "([D)V", static_cast<jdoubleArray>(nullptr)); }

void scriptThrowIn(const char* method) { callScriptWithText("throwIn", method); }

void scriptCreateReturnsNull(bool yes) {
    callScript("createReturnsNull", "(Z)V", static_cast<jboolean>(yes));
}

void scriptHoldIn(const char* method) { callScriptWithText("holdIn", method); }
void scriptAwaitHeld() { callScript("awaitHeld", "()V"); }
void scriptRelease() { callScript("release", "()V"); }

std::vector<std::string> facadeCalls() {
    std::vector<std::string> calls;
    auto array = static_cast<jobjectArray>(scriptObject("calls", "()[Ljava/lang/String;"));
    if (!array) return calls;
    const jsize n = mainEnv->GetArrayLength(array);
    for (jsize i = 0; i < n; ++i) {
        auto text = static_cast<jstring>(mainEnv->GetObjectArrayElement(array, i));
        const char* chars = mainEnv->GetStringUTFChars(text, nullptr);
        calls.emplace_back(chars ? chars : "");
        if (chars) mainEnv->ReleaseStringUTFChars(text, chars);
        mainEnv->DeleteLocalRef(text);
    }
    mainEnv->DeleteLocalRef(array);
    return calls;
}

std::vector<long long> facadeCallThreads() {
    std::vector<long long> ids;
    auto array = static_cast<jlongArray>(scriptObject("callThreads", "()[J"));
    if (!array) return ids;
    ids.resize(static_cast<size_t>(mainEnv->GetArrayLength(array)));
    std::vector<jlong> elements(ids.size());
    mainEnv->GetLongArrayRegion(array, 0, static_cast<jsize>(ids.size()), elements.data());
    for (size_t i = 0; i < ids.size(); ++i) ids[i] = elements[i];
    mainEnv->DeleteLocalRef(array);
    return ids;
}

int liveFacadeObjects() {
    JNIEnv* env = mainEnv;
    jclass cls = scriptClass(env);
    if (!cls) return -1;
    int live = -1;
    jmethodID method = env->GetStaticMethodID(cls, "liveObjects", "()I");
    expectNoException(env, "liveObjects");
    if (method) {
        live = env->CallStaticIntMethod(cls, method);
        expectNoException(env, "liveObjects");
    }
    env->DeleteLocalRef(cls);
    return live;
}

size_t localReferenceCount() {
    if (!jvmti) {
        ADD_FAILURE() << "no JVMTI environment with object tagging";
        return 0;
    }
    jthread thread = nullptr;
    if (jvmti->GetCurrentThread(&thread) != JVMTI_ERROR_NONE) {
        ADD_FAILURE() << "calling thread is not attached";
        return 0;
    }
    std::pair<jlong, size_t> wanted{0x6b76666d75, 0};  // tag of the thread, references found
    jvmti->SetTag(thread, wanted.first);
    jvmtiHeapCallbacks callbacks{};
    callbacks.heap_reference_callback = heapRootCounter;
    const jvmtiError error = jvmti->FollowReferences(0, nullptr, nullptr, &callbacks, &wanted);
    jvmti->SetTag(thread, 0);
    void* env = nullptr;
    vm->GetEnv(&env, JNI_VERSION_1_8);
    static_cast<JNIEnv*>(env)->DeleteLocalRef(thread);
    if (error != JVMTI_ERROR_NONE) ADD_FAILURE() << "FollowReferences failed: " << error;
    return wanted.second - 1;  // without the thread reference made here
}

size_t globalReferenceCount() {
    if (!jvmti) {
        ADD_FAILURE() << "no JVMTI environment with object tagging";
        return 0;
    }
    size_t count = 0;
    jvmtiHeapCallbacks callbacks{};
    callbacks.heap_reference_callback = globalRootCounter;
    const jvmtiError error = jvmti->FollowReferences(0, nullptr, nullptr, &callbacks, &count);
    if (error != JVMTI_ERROR_NONE) ADD_FAILURE() << "FollowReferences failed: " << error;
    return count;
}

int nonDaemonJavaThreadCount() {
    if (!jvmti) {
        ADD_FAILURE() << "no JVMTI environment";
        return -1;
    }
    jint count = 0;
    jthread* threads = nullptr;
    if (jvmti->GetAllThreads(&count, &threads) != JVMTI_ERROR_NONE) {
        ADD_FAILURE() << "GetAllThreads failed";
        return -1;
    }
    void* env = nullptr;
    vm->GetEnv(&env, JNI_VERSION_1_8);
    auto* jni = static_cast<JNIEnv*>(env);
    int nonDaemon = 0;
    for (jint i = 0; i < count; ++i) {
        jvmtiThreadInfo info{};
        if (jvmti->GetThreadInfo(threads[i], &info) == JVMTI_ERROR_NONE) {
            if (!info.is_daemon) ++nonDaemon;
            jvmti->Deallocate(reinterpret_cast<unsigned char*>(info.name));
            if (info.thread_group) jni->DeleteLocalRef(info.thread_group);
            if (info.context_class_loader) jni->DeleteLocalRef(info.context_class_loader);
        }
        jni->DeleteLocalRef(threads[i]);
    }
    jvmti->Deallocate(reinterpret_cast<unsigned char*>(threads));
    return nonDaemon;
}
