#include "facade.h"

#include "java_vm.h"
#include "trace.h"

namespace {

// Bindings read each per-thread variable once into a local: every read of a thread-local
// variable of a shared library costs a call.

// A facade method of the current bracket's class; null (traced, with the lookup's
// NoSuchMethodError cleared) when it is missing or there is no facade to call.
jmethodID facadeMethod(const char* name, const char* signature, const wchar_t* notFoundTrace) {
    jmethodID method = nullptr;
    JNIEnv* const env = java_env;
    const jclass cls = korvansim_cls;
    if (env && cls && korvansim_ref) {
        method = env->GetMethodID(cls, name, signature);
        if (!method) exceptionCheck(nullptr);
    }
    if (!method) debugTrace(notFoundTrace);
    return method;
}

// A Java string of the text (a null text as the empty string); null when the VM could not
// make one.
jstring javaString(JNIEnv* env, const char* text, const wchar_t* failureTrace = nullptr) {
    jstring string = newJavaString(env, text);
    exceptionCheck(env, failureTrace);
    return string;
}

jstring javaString(const char* text, const wchar_t* failureTrace = nullptr) {
    return javaString(java_env, text, failureTrace);
}

// The text of a Java string result, which is released; empty for null.
std::string textOf(jstring value, bool* unreadable = nullptr) {
    exceptionCheck(nullptr);
    if (value) return takeText(value, unreadable);
    debugTrace(L"j_value is null");
    return std::string();
}

void deleteLocal(jobject reference) {
    if (reference) java_env->DeleteLocalRef(reference);
}

// Calls a void method that takes only the server key; answers whether the call was made
// and returned (threw nothing).
bool callWithKey(const char* method, const wchar_t* notFoundTrace, const char* serverKey) {
    jmethodID id = facadeMethod(method, "(Ljava/lang/String;)V", notFoundTrace);
    if (!id) return false;
    jstring key = javaString(serverKey);
    if (!key) return false;
    java_env->CallVoidMethod(korvansim_ref, id, key);
    const bool threw = exceptionCheck(nullptr);
    deleteLocal(key);
    return !threw;
}

// On a false answer the facade's own text says why; a missing method has a fixed reason.
void recordSetUpFailure(jmethodID method, const char* missingMethodError) {
    LastError = method ? j_getLasterror() : missingMethodError;
}

}  // namespace

jobject korvansim_setup() {
    debugTrace(L"kvfmu/korvansim_setup...");
    korvansim_cls = java_env->FindClass("com/korvan/kvbridge/KorvanSim");
    if (!korvansim_cls) {
        exceptionCheck(nullptr);
        debugTrace(L"class KorvanSim not found");
        return nullptr;
    }
    jmethodID create =
        java_env->GetStaticMethodID(korvansim_cls, "create", "()Lcom/korvan/kvbridge/KorvanSim;");
    if (!create) {
        exceptionCheck(nullptr);
        debugTrace(L"method create not found");
        return nullptr;
    }
    jobject korvansim_local = java_env->CallStaticObjectMethod(korvansim_cls, create);
    if (!korvansim_local) {
        debugTrace(L"korvansim_local is null");
        exceptionCheck(L"CallStaticObjectMethod Exception");
        return nullptr;
    }
    exceptionCheck(L"CallStaticObjectMethod Exception");
    jobject made = java_env->NewGlobalRef(korvansim_local);
    java_env->DeleteLocalRef(korvansim_local);
    if (!made) debugTrace(L"korvansim is null");
    return made;
}

void publishFacade(jobject made) {
    jobject replaced = nullptr;
    {
        const std::lock_guard<std::mutex> lock(facadeLock);
        replaced = korvansim;
        korvansim = made;
    }
    // Operations in progress on other threads hold local references of their own.
    if (replaced) java_env->DeleteGlobalRef(replaced);
}

bool j_initConnection() {
    debugTrace(L"j_initConnection");
    const JavaBracket bracket = java_attach();
    bool answer = false;
    if (jmethodID id = facadeMethod("doInitConnection", "()Z", L"method doInitConnection not found")) {
        answer = java_env->CallBooleanMethod(korvansim_ref, id) != JNI_FALSE;
        exceptionCheck(L"j_initConnection Exception");
    }
    java_detach(bracket);
    return answer;
}

bool j_doInstantiate(const char* serverKey, const char* resourceLocation) {
    debugTrace(L"j_doInstantiate");
    const JavaBracket bracket = java_attach();
    bool answer = false;
    if (jmethodID id = facadeMethod("doInstantiate", "(Ljava/lang/String;Ljava/lang/String;)Z",
                                    L"method doInstantiate not found")) {
        exceptionCheck(L"Exception j_doInstantiate 1");
        jstring key = javaString(serverKey);
        jstring location = key ? javaString(resourceLocation) : nullptr;
        if (location) {
            answer = java_env->CallBooleanMethod(korvansim_ref, id, key, location) != JNI_FALSE;
            exceptionCheck(L"Exception j_doInstantiate 2");
        }
        deleteLocal(location);
        deleteLocal(key);
    }
    java_detach(bracket);
    return answer;
}

std::string j_getLasterror() {
    debugTrace(L"j_getLasterror");
    const JavaBracket bracket = java_attach();
    std::string text;
    if (jmethodID id =
            facadeMethod("getLasterror", "()Ljava/lang/String;", L"method getLasterror not found")) {
        text = textOf(static_cast<jstring>(java_env->CallObjectMethod(korvansim_ref, id)));
    }
    java_detach(bracket);
    return text;
}

PropertyAnswer j_getProp(const char* serverKey, const char* property) {
    const JavaBracket bracket = java_attach();
    PropertyAnswer answer{PropertyAnswer::noMethod, std::string()};
    if (!java_env) {
        debugTrace(L"method getProp not found");
        answer = {PropertyAnswer::vmFailed, "it was not found, or the thread could not be attached"};
    } else if (jmethodID id = facadeMethod(
                   "getProp", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;",
                   L"method getProp not found")) {
        JNIEnv* const env = java_env;
        answer = {PropertyAnswer::vmFailed,
                  "it could not make or read a string, e.g. for lack of memory"};
        jstring key = javaString(env, serverKey);
        jstring jproperty = key ? javaString(env, property) : nullptr;
        if (jproperty) {
            auto value =
                static_cast<jstring>(env->CallObjectMethod(korvansim_ref, id, key, jproperty));
            exceptionCheck(env, nullptr);
            bool unreadable = false;
            if (value) {
                std::string text = takeText(value, &unreadable);
                if (!unreadable) answer = {PropertyAnswer::answered, std::move(text)};
            } else {
                debugTrace(L"j_value is null");
                // Asked on this attachment: a facade keeps a failure for the thread that had it.
                answer.kind = PropertyAnswer::refused;
                answer.text = j_getLasterror();
            }
        }
        if (jproperty) env->DeleteLocalRef(jproperty);
        if (key) env->DeleteLocalRef(key);
    }
    java_detach(bracket);
    return answer;
}

bool j_doSetupExperiment(const char* serverKey, fmi2Real startTime, bool stopTimeDefined,
                         fmi2Real stopTime) {
    debugTrace(L"doSetupExperiment...");
    debugTrace(serverKey);
    LastError.clear();
    const JavaBracket bracket = java_attach();
    bool answer = false;
    jmethodID id = facadeMethod("doSetupExperiment", "(Ljava/lang/String;DZD)Z",
                                L"method doSetupExperiment not found");
    if (id) {
        if (jstring key = javaString(serverKey)) {
            answer = java_env->CallBooleanMethod(korvansim_ref, id, key, startTime,
                                                 stopTimeDefined ? JNI_TRUE : JNI_FALSE,
                                                 stopTime) != JNI_FALSE;
            exceptionCheck(nullptr);
            deleteLocal(key);
        }
    }
    if (!answer) recordSetUpFailure(id, "Fatal error setting up experiment");
    java_detach(bracket);
    return answer;
}

bool j_doInitializeModel(const char* serverKey) {
    debugTrace(L"doInitializeModel...");
    debugTrace(serverKey);
    LastError.clear();
    const JavaBracket bracket = java_attach();
    bool answer = false;
    jmethodID id = facadeMethod("doInitializeModel", "(Ljava/lang/String;)Z",
                                L"method doInitializeModel not found");
    if (id) {
        if (jstring key = javaString(serverKey)) {
            answer = java_env->CallBooleanMethod(korvansim_ref, id, key) != JNI_FALSE;
            exceptionCheck(nullptr);
            deleteLocal(key);
        }
    }
    if (!answer) recordSetUpFailure(id, "Fatal error initializing model");
    java_detach(bracket);
    return answer;
}

void j_doTerminate(const char* serverKey) {
    debugTrace(L"doTerminate");
    debugTrace(serverKey);
    const JavaBracket bracket = java_attach();
    callWithKey("doTerminate", L"method doTerminate not found", serverKey);
    java_detach(bracket);
}

bool j_doFreeInstance(const char* serverKey) {
    debugTrace(L"doFreeInstance");
    debugTrace(serverKey);
    const JavaBracket bracket = java_attach();
    const bool told = callWithKey("doFreeInstance", L"method doFreeInstance not found", serverKey);
    bool release = false;
    {
        const std::lock_guard<std::mutex> lock(facadeLock);
        if (liveInstances > 0) --liveInstances;
        // The facade object serves every live instance: it goes with the last of them.
        release = told && liveInstances == 0 && korvansim;
        if (release) {
            java_env->DeleteGlobalRef(korvansim);
            korvansim = nullptr;
        }
    }
    if (release) debugTrace(L"DeleteGlobalRef");
    java_detach(bracket);
    return told;
}

void j_doSetReal(const char* serverKey, fmi2ValueReference vr, fmi2Real value) {
    const jobject facade = korvansim_ref;
    if (!korvansim_cls) debugTrace(L"korvansim_cls is null");
    if (!facade) debugTrace(L"korvansim is null");
    jmethodID id =
        facadeMethod("setReal", "(Ljava/lang/String;ID)V", L"method setReal not found");
    if (!id) return;
    jstring key = javaString(serverKey, L"Exception in j_doSetReal before call");
    if (!key) return;
    JNIEnv* const env = java_env;
    // The value reference crosses as the Java int with the same bits.
    env->CallVoidMethod(facade, id, key, static_cast<jint>(vr), value);
    exceptionCheck(L"Exception in j_doSetReal after call");
    env->DeleteLocalRef(key);
}

fmi2Status j_stepModel(const char* serverKey, fmi2Real currentCommunicationPoint,
                       fmi2Real communicationStepSize, const std::vector<double>& inputs) {
    debugTrace(L"j_stepModel...");
    jmethodID id = facadeMethod("doStepModel", "(Ljava/lang/String;DD[D)Z",
                                L"method doStepModel not found");
    if (!id) return fmi2Error;
    JNIEnv* const env = java_env;
    jstring key = javaString(env, serverKey);
    if (!key) return fmi2Error;
    const auto length = static_cast<jsize>(inputs.size());
    jdoubleArray values = env->NewDoubleArray(length);
    bool stepped = false;
    if (!exceptionCheck(env, nullptr) && values) {
        env->SetDoubleArrayRegion(values, 0, length, inputs.data());
        if (!exceptionCheck(env, nullptr)) {
            stepped = env->CallBooleanMethod(korvansim_ref, id, key, currentCommunicationPoint,
                                             communicationStepSize, values) != JNI_FALSE;
            // A step that threw answers false; its exception must not reach the next call.
            exceptionCheck(env, nullptr);
        }
    }
    if (values) env->DeleteLocalRef(values);
    env->DeleteLocalRef(key);
    return stepped ? fmi2OK : fmi2Error;
}

std::vector<double> j_getData(const char* serverKey, bool* vmFailed) {
    debugTrace(L"j_getData\n");
    const jobject facade = korvansim_ref;
    if (!korvansim_cls) debugTrace(L"korvansim_cls is null");
    if (!facade) debugTrace(L"korvansim is null");
    std::vector<double> data;
    jmethodID id =
        facadeMethod("getData", "(Ljava/lang/String;)[D", L"method getData not found");
    if (!id) return data;
    JNIEnv* const env = java_env;
    exceptionCheck(env, L"Exception j_getData 1");
    jstring key = javaString(env, serverKey);
    if (!key) {
        if (vmFailed) *vmFailed = true;
        return data;
    }
    auto values = static_cast<jdoubleArray>(env->CallObjectMethod(facade, id, key));
    env->DeleteLocalRef(key);
    if (!values) {
        exceptionCheck(env, nullptr);
        debugTrace(L"jdoubleArray is null");
        return data;
    }
    exceptionCheck(env, L"Exception j_getData 2");
    const jsize length = env->GetArrayLength(values);
    jdouble* elements = env->GetDoubleArrayElements(values, nullptr);
    exceptionCheck(env, nullptr);
    if (elements) {
        if (length > 0) data.assign(elements, elements + length);
        env->ReleaseDoubleArrayElements(values, elements, 0);
    } else if (length > 0 && vmFailed) {
        *vmFailed = true;
    }
    env->DeleteLocalRef(values);
    exceptionCheck(env, L"Exception j_getData 3");
    return data;
}
