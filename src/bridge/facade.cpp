#include "facade.h"

#include "java_vm.h"
#include "trace.h"

namespace {

// A facade method of the current bracket's class; null (traced, with the lookup's
// NoSuchMethodError cleared) when it is missing or there is no facade to call.
jmethodID facadeMethod(const char* name, const char* signature, const wchar_t* notFoundTrace) {
    jmethodID method = nullptr;
    if (java_env && korvansim_cls && korvansim_ref) {
        method = java_env->GetMethodID(korvansim_cls, name, signature);
        if (!method) exceptionCheck(nullptr);
    }
    if (!method) debugTrace(notFoundTrace);
    return method;
}

// A Java string of the text's bytes (a null text as the empty string); null when the VM
// could not make one.
jstring javaString(const char* text, const wchar_t* failureTrace = nullptr) {
    jstring string = java_env->NewStringUTF(text ? text : "");
    exceptionCheck(failureTrace);
    return string;
}

// The text of a Java string result, which is released; empty for null.
std::string textOf(jstring value) {
    exceptionCheck(nullptr);
    if (value) return takeText(value);
    debugTrace(L"j_value is null");
    return std::string();
}

void deleteLocal(jobject reference) {
    if (reference) java_env->DeleteLocalRef(reference);
}

// Calls a void method that takes only the instance name; answers whether it was called.
bool callWithName(const char* method, const wchar_t* notFoundTrace, const char* instanceName) {
    jmethodID id = facadeMethod(method, "(Ljava/lang/String;)V", notFoundTrace);
    if (!id) return false;
    jstring name = javaString(instanceName);
    if (!name) return false;
    java_env->CallVoidMethod(korvansim_ref, id, name);
    exceptionCheck(nullptr);
    deleteLocal(name);
    return true;
}

// On a false answer the facade's own text says why; a missing method has a fixed reason.
void recordSetUpFailure(jmethodID method, const char* missingMethodError) {
    LastError = method ? j_getLasterror() : missingMethodError;
}

}  // namespace

void korvansim_setup() {
    debugTrace(L"kvfmu/korvansim_setup...");
    korvansim_cls = java_env->FindClass("com/korvan/kvbridge/KorvanSim");
    if (!korvansim_cls) {
        exceptionCheck(nullptr);
        debugTrace(L"class KorvanSim not found");
        return;
    }
    jmethodID create =
        java_env->GetStaticMethodID(korvansim_cls, "create", "()Lcom/korvan/kvbridge/KorvanSim;");
    if (!create) {
        exceptionCheck(nullptr);
        debugTrace(L"method create not found");
        return;
    }
    jobject korvansim_local = java_env->CallStaticObjectMethod(korvansim_cls, create);
    if (!korvansim_local) {
        debugTrace(L"korvansim_local is null");
        exceptionCheck(L"CallStaticObjectMethod Exception");
        return;
    }
    exceptionCheck(L"CallStaticObjectMethod Exception");
    jobject made = java_env->NewGlobalRef(korvansim_local);
    java_env->DeleteLocalRef(korvansim_local);
    if (!made) {
        debugTrace(L"korvansim is null");
        return;
    }
    const std::lock_guard<std::mutex> lock(facadeLock);
    // Operations in progress on other threads hold local references of their own.
    if (korvansim) java_env->DeleteGlobalRef(korvansim);
    korvansim = made;
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

bool j_doInstantiate(const char* instanceName, const char* resourceLocation) {
    debugTrace(L"j_doInstantiate");
    const JavaBracket bracket = java_attach();
    bool answer = false;
    if (jmethodID id = facadeMethod("doInstantiate", "(Ljava/lang/String;Ljava/lang/String;)Z",
                                    L"method doInstantiate not found")) {
        exceptionCheck(L"Exception j_doInstantiate 1");
        jstring name = javaString(instanceName);
        jstring location = name ? javaString(resourceLocation) : nullptr;
        if (location) {
            answer = java_env->CallBooleanMethod(korvansim_ref, id, name, location) != JNI_FALSE;
            exceptionCheck(L"Exception j_doInstantiate 2");
        }
        deleteLocal(location);
        deleteLocal(name);
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

std::string j_getProp(const char* instanceName, const char* key) {
    const JavaBracket bracket = java_attach();
    std::string text;
    if (jmethodID id = facadeMethod("getProp",
                                    "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;",
                                    L"method getProp not found")) {
        jstring name = javaString(instanceName);
        jstring jkey = name ? javaString(key) : nullptr;
        if (jkey) {
            text = textOf(
                static_cast<jstring>(java_env->CallObjectMethod(korvansim_ref, id, name, jkey)));
        }
        deleteLocal(jkey);
        deleteLocal(name);
    }
    java_detach(bracket);
    return text;
}

bool j_doSetupExperiment(const char* instanceName, fmi2Real startTime, bool stopTimeDefined,
                         fmi2Real stopTime) {
    debugTrace(L"doSetupExperiment...");
    debugTrace(instanceName);
    LastError.clear();
    const JavaBracket bracket = java_attach();
    bool answer = false;
    jmethodID id = facadeMethod("doSetupExperiment", "(Ljava/lang/String;DZD)Z",
                                L"method doSetupExperiment not found");
    if (id) {
        if (jstring name = javaString(instanceName)) {
            answer = java_env->CallBooleanMethod(korvansim_ref, id, name, startTime,
                                                 stopTimeDefined ? JNI_TRUE : JNI_FALSE,
                                                 stopTime) != JNI_FALSE;
            exceptionCheck(nullptr);
            deleteLocal(name);
        }
    }
    if (!answer) recordSetUpFailure(id, "Fatal error setting up experiment");
    java_detach(bracket);
    return answer;
}

bool j_doInitializeModel(const char* instanceName) {
    debugTrace(L"doInitializeModel...");
    debugTrace(instanceName);
    LastError.clear();
    const JavaBracket bracket = java_attach();
    bool answer = false;
    jmethodID id = facadeMethod("doInitializeModel", "(Ljava/lang/String;)Z",
                                L"method doInitializeModel not found");
    if (id) {
        if (jstring name = javaString(instanceName)) {
            answer = java_env->CallBooleanMethod(korvansim_ref, id, name) != JNI_FALSE;
            exceptionCheck(nullptr);
            deleteLocal(name);
        }
    }
    if (!answer) recordSetUpFailure(id, "Fatal error initializing model");
    java_detach(bracket);
    return answer;
}

void j_doTerminate(const char* instanceName) {
    debugTrace(L"doTerminate");
    debugTrace(instanceName);
    const JavaBracket bracket = java_attach();
    callWithName("doTerminate", L"method doTerminate not found", instanceName);
    java_detach(bracket);
}

void j_doFreeInstance(const char* instanceName) {
    debugTrace(L"doFreeInstance");
    debugTrace(instanceName);
    const JavaBracket bracket = java_attach();
    const bool told =
        callWithName("doFreeInstance", L"method doFreeInstance not found", instanceName);
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
}

void j_doSetReal(const char* instanceName, fmi2ValueReference vr, fmi2Real value) {
    if (!korvansim_cls) debugTrace(L"korvansim_cls is null");
    if (!korvansim_ref) debugTrace(L"korvansim is null");
    jmethodID id =
        facadeMethod("setReal", "(Ljava/lang/String;ID)V", L"method setReal not found");
    if (!id) return;
    jstring name = javaString(instanceName, L"Exception in j_doSetReal before call");
    if (!name) return;
    // The value reference crosses as the Java int with the same bits.
    java_env->CallVoidMethod(korvansim_ref, id, name, static_cast<jint>(vr), value);
    exceptionCheck(L"Exception in j_doSetReal after call");
    deleteLocal(name);
}

fmi2Status j_stepModel(const char* instanceName, fmi2Real currentCommunicationPoint,
                       fmi2Real communicationStepSize, const std::vector<double>& inputs) {
    debugTrace(L"j_stepModel...");
    jmethodID id = facadeMethod("doStepModel", "(Ljava/lang/String;DD[D)Z",
                                L"method doStepModel not found");
    if (!id) return fmi2Error;
    jstring name = javaString(instanceName);
    if (!name) return fmi2Error;
    const auto length = static_cast<jsize>(inputs.size());
    jdoubleArray values = java_env->NewDoubleArray(length);
    bool stepped = false;
    if (!exceptionCheck(nullptr) && values) {
        java_env->SetDoubleArrayRegion(values, 0, length, inputs.data());
        if (!exceptionCheck(nullptr)) {
            stepped = java_env->CallBooleanMethod(korvansim_ref, id, name, currentCommunicationPoint,
                                                  communicationStepSize, values) != JNI_FALSE;
            // A step that threw answers false; its exception must not reach the next call.
            exceptionCheck(nullptr);
        }
    }
    deleteLocal(values);
    deleteLocal(name);
    return stepped ? fmi2OK : fmi2Error;
}

std::vector<double> j_getData(const char* instanceName) {
    debugTrace(L"j_getData\n");
    if (!korvansim_cls) debugTrace(L"korvansim_cls is null");
    if (!korvansim_ref) debugTrace(L"korvansim is null");
    std::vector<double> data;
    jmethodID id =
        facadeMethod("getData", "(Ljava/lang/String;)[D", L"method getData not found");
    if (!id) return data;
    exceptionCheck(L"Exception j_getData 1");
    jstring name = javaString(instanceName);
    if (!name) return data;
    auto values = static_cast<jdoubleArray>(java_env->CallObjectMethod(korvansim_ref, id, name));
    deleteLocal(name);
    if (!values) {
        exceptionCheck(nullptr);
        debugTrace(L"jdoubleArray is null");
        return data;
    }
    exceptionCheck(L"Exception j_getData 2");
    const jsize length = java_env->GetArrayLength(values);
    jdouble* elements = java_env->GetDoubleArrayElements(values, nullptr);
    exceptionCheck(nullptr);
    if (elements) {
        if (length > 0) data.assign(elements, elements + length);
        java_env->ReleaseDoubleArrayElements(values, elements, 0);
    }
    java_env->DeleteLocalRef(values);
    exceptionCheck(L"Exception j_getData 3");
    return data;
}
