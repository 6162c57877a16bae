#include "process_vm.h"

#include "java_runtime.h"
#include "java_vm_library.h"
#include "vm_encoding.h"
#include "vm_text.h"

#include <optional>

namespace {

// The starter's hooks. Ours pass the VM's text on first: its last words explain the end.
void(JNICALL* starterExits)(jint) = nullptr;
void(JNICALL* starterAborts)() = nullptr;

void JNICALL vmExits(jint status) {
    endVmTextCapture();
    if (starterExits) starterExits(status);
}

void JNICALL vmAborts() {
    endVmTextCapture();
    if (starterAborts) starterAborts();
}

std::string optionList(const std::vector<std::string>& options) {
    std::string list;
    for (const std::string& option : options) list += (list.empty() ? "" : " ") + option;
    return list;
}

// With the options the runtime needs first: the FMU's and the caller's come later and win.
ProcessVm startVm(const JavaVmLibrary& library, ProcessVm vm, const VmRequest& request,
                  const std::vector<std::string>& runtimeOptions = {}) {
    std::vector<std::string> classPath;
    if (!prepareVmEncoding(request.classPath, classPath, vm.failure)) return vm;
    std::vector<std::string> requested = runtimeOptions;
    requested.insert(requested.end(), request.options.begin(), request.options.end());
    const std::vector<std::string> options = vmOptionsFor(classPath, requested);
    starterExits = request.exitHook;
    starterAborts = request.abortHook;
    static char exitName[] = "exit";
    static char abortName[] = "abort";
    static char textName[] = "vfprintf";
    std::vector<JavaVMOption> hooks = {{exitName, reinterpret_cast<void*>(&vmExits)},
                                       {abortName, reinterpret_cast<void*>(&vmAborts)}};
    if (request.vmText) {
        hooks.push_back({textName, vmTextHook()});
        captureVmText(request.vmText);
    }
    JavaVM* created = nullptr;
    JNIEnv* env = nullptr;
    const jint result = createJavaVm(library, options, hooks, &created, &env);
    endVmTextCapture();
    endVmEncoding();
    if (result != JNI_OK || !created) {
        vm.startFailed = true;
        vm.failure = "the Java VM cannot start: " + jniErrorText(result) + " (" + vm.runtime +
                     "; VM options: " + optionList(options) + ")";
        return vm;
    }
    vm.vm = created;
    vm.env = env;
    vm.started = true;
    return vm;
}

}  // namespace

ProcessVm findOrStartJavaVm(const VmRequest& request) {
    ProcessVm vm;
    if (const std::optional<JavaVmLibrary> loaded = loadedVmLibrary()) {
        if (JavaVM* running = runningVm(*loaded)) {
            vm.vm = running;
            vm.runtime = "the Java VM running in this process";
            return vm;
        }
        vm.runtime = "the Java VM library already loaded in this process";
        return startVm(*loaded, vm, request);
    }
    const RuntimeSearch search = findJavaRuntimeFor(request.fmuResources, usualJavaPlaces());
    if (!search.runtime) {
        vm.failure = noRuntimeMessage(search);
        return vm;
    }
    vm.runtime = runtimeDescription(*search.runtime);
    if (const std::string warning = passedOverJavaHomeWarning(search); !warning.empty())
        vm.warnings.push_back(warning);
    std::string error;
    const std::optional<JavaVmLibrary> library = loadVmLibrary(search.runtime->vmLibrary, error);
    if (!library) {
        vm.failure = "cannot load the Java VM " + pathText(search.runtime->vmLibrary) + " (" +
                     vm.runtime + "): " + error;
        return vm;
    }
    return startVm(*library, vm, request, search.runtime->vmOptions);
}

namespace {

// System.getProperty(key) in UTF-16 throughout, as ASCII text; empty when it cannot be read.
std::string systemProperty(JNIEnv* env, const char* key) {
    if (env->PushLocalFrame(8) != JNI_OK) {
        env->ExceptionClear();
        return {};
    }
    std::string value;
    jclass system = env->FindClass("java/lang/System");
    jmethodID getProperty =
        system ? env->GetStaticMethodID(system, "getProperty", "(Ljava/lang/String;)Ljava/lang/String;")
               : nullptr;
    std::basic_string<jchar> name;
    for (const char* c = key; *c; ++c) name.push_back(static_cast<jchar>(*c));
    jstring nameText = getProperty ? env->NewString(name.data(), static_cast<jsize>(name.size())) : nullptr;
    jobject answer = nameText ? env->CallStaticObjectMethod(system, getProperty, nameText) : nullptr;
    if (answer && !env->ExceptionCheck()) {
        jstring text = static_cast<jstring>(answer);
        const jsize length = env->GetStringLength(text);
        if (const jchar* units = env->GetStringChars(text, nullptr)) {
            for (jsize i = 0; i < length; ++i) value.push_back(units[i] < 0x80 ? static_cast<char>(units[i]) : '?');
            env->ReleaseStringChars(text, units);
        }
    }
    if (env->ExceptionCheck()) env->ExceptionClear();
    env->PopLocalFrame(nullptr);
    return value;
}

}  // namespace

std::string tooOldVmProblem(JNIEnv* env) {
    const std::string version = systemProperty(env, "java.version");
    const int major = javaMajorVersion(version);
    if (version.empty() || major == 0 || major >= minimumJavaVersion) return {};
    return "the Java VM running in this process is Java " + version + ", older than " +
           std::to_string(minimumJavaVersion) + ", which the FMU needs: run the FMU out of process "
           "(where the host offers it), or run the host on Java " +
           std::to_string(minimumJavaVersion) + " or later";
}
