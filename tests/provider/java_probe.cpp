#include "java_probe.h"

#include "dynamic_library.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using CreatedVms = jint(JNICALL*)(JavaVM**, jsize, jsize*);
using CreateVm = jint(JNICALL*)(JavaVM**, void**, void*);

// Runs the query on the calling thread's environment, attached for it if need be.
template <typename Result>
Result onThisThread(Result none, const std::function<Result(JNIEnv*)>& query) {
    JavaVM* vm = processVm();
    if (!vm) {
        ADD_FAILURE() << "no Java VM in the process";
        return none;
    }
    void* env = nullptr;
    bool attachedHere = false;
    if (vm->GetEnv(&env, JNI_VERSION_1_8) == JNI_EDETACHED) {
        EXPECT_EQ(vm->AttachCurrentThread(&env, nullptr), JNI_OK);
        attachedHere = true;
    }
    auto* jni = static_cast<JNIEnv*>(env);
    jni->PushLocalFrame(32);
    Result result = query(jni);
    if (jni->ExceptionCheck()) {
        jni->ExceptionDescribe();
        jni->ExceptionClear();
        ADD_FAILURE() << "Java exception in a probe";
        result = none;
    }
    jni->PopLocalFrame(nullptr);
    if (attachedHere) vm->DetachCurrentThread();
    return result;
}

std::string text(JNIEnv* env, jobject value) {
    if (!value) return {};
    const char* chars = env->GetStringUTFChars(static_cast<jstring>(value), nullptr);
    std::string result = chars ? chars : "";
    if (chars) env->ReleaseStringUTFChars(static_cast<jstring>(value), chars);
    return result;
}

std::string describe(JNIEnv* env, jobject value) {
    jclass objectClass = env->FindClass("java/lang/Object");
    jmethodID toString = env->GetMethodID(objectClass, "toString", "()Ljava/lang/String;");
    return text(env, env->CallObjectMethod(value, toString));
}

}  // namespace

JavaVM* processVm() {
    LibraryHandle library = loadedLibrary("libjvm.so", false);
    if (!library) return nullptr;
    auto created = reinterpret_cast<CreatedVms>(librarySymbol(library, "JNI_GetCreatedJavaVMs"));
    JavaVM* vm = nullptr;
    jsize count = 0;
    if (!created || created(&vm, 1, &count) != JNI_OK || count < 1) return nullptr;
    return vm;
}

JavaVM* startHostVm(const std::string& classPath) {
    std::string error;
    LibraryHandle library = loadLibraryForGood(KVFMU_TEST_JDK "/lib/server/libjvm.so", true, error);
    EXPECT_NE(library, nullptr) << error;
    if (!library) return nullptr;
    auto create = reinterpret_cast<CreateVm>(librarySymbol(library, "JNI_CreateJavaVM"));
    std::vector<std::string> texts = {"-Xrs", "-XX:-UsePerfData", "-Xmx128m"};
    if (!classPath.empty()) texts.push_back("-Djava.class.path=" + classPath);
    std::vector<JavaVMOption> options;
    for (std::string& option : texts) options.push_back({option.data(), nullptr});
    JavaVMInitArgs arguments{JNI_VERSION_1_8, static_cast<jint>(options.size()), options.data(),
                             JNI_FALSE};
    JavaVM* vm = nullptr;
    void* env = nullptr;
    EXPECT_EQ(create(&vm, &env, &arguments), JNI_OK);
    return vm;
}

std::string javaProperty(const char* key) {
    return onThisThread<std::string>("", [key](JNIEnv* env) {
        jclass system = env->FindClass("java/lang/System");
        jmethodID get = env->GetStaticMethodID(system, "getProperty",
                                               "(Ljava/lang/String;)Ljava/lang/String;");
        return text(env, env->CallStaticObjectMethod(system, get, env->NewStringUTF(key)));
    });
}

std::string vmInputArguments() {
    return onThisThread<std::string>("", [](JNIEnv* env) {
        jclass factory = env->FindClass("java/lang/management/ManagementFactory");
        jmethodID runtime = env->GetStaticMethodID(factory, "getRuntimeMXBean",
                                                   "()Ljava/lang/management/RuntimeMXBean;");
        jobject bean = env->CallStaticObjectMethod(factory, runtime);
        jclass beanClass = env->FindClass("java/lang/management/RuntimeMXBean");
        jmethodID arguments = env->GetMethodID(beanClass, "getInputArguments", "()Ljava/util/List;");
        return describe(env, env->CallObjectMethod(bean, arguments));
    });
}

int liveJavaThreads() {
    return onThisThread<int>(-1, [](JNIEnv* env) {
        jclass thread = env->FindClass("java/lang/Thread");
        jmethodID all = env->GetStaticMethodID(thread, "getAllStackTraces", "()Ljava/util/Map;");
        jobject map = env->CallStaticObjectMethod(thread, all);
        jclass mapClass = env->FindClass("java/util/Map");
        return static_cast<int>(env->CallIntMethod(map, env->GetMethodID(mapClass, "size", "()I")));
    });
}

int javaRunsProgram(const char* program) {
    return onThisThread<int>(-1, [program](JNIEnv* env) {
        jclass stringClass = env->FindClass("java/lang/String");
        jobjectArray command = env->NewObjectArray(1, stringClass, env->NewStringUTF(program));
        jclass builderClass = env->FindClass("java/lang/ProcessBuilder");
        jobject builder = env->NewObject(
            builderClass, env->GetMethodID(builderClass, "<init>", "([Ljava/lang/String;)V"), command);
        jobject process = env->CallObjectMethod(
            builder, env->GetMethodID(builderClass, "start", "()Ljava/lang/Process;"));
        if (!process) return -1;
        jclass processClass = env->FindClass("java/lang/Process");
        return static_cast<int>(
            env->CallIntMethod(process, env->GetMethodID(processClass, "waitFor", "()I")));
    });
}

bool callingThreadAttached() {
    JavaVM* vm = processVm();
    void* env = nullptr;
    return vm && vm->GetEnv(&env, JNI_VERSION_1_8) == JNI_OK;
}
