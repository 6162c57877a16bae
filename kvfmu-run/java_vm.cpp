#include "java_vm.h"

#include "exit_codes.h"
#include "java_vm_library.h"
#include "process_vm.h"
#include "provider_settings.h"
#include "temporary_folder.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace fs = std::filesystem;

namespace {

std::atomic<bool> vmStarted{false};

// The VM ends the process itself when it fails during its start (for example with a heap
// too small), when it crashes, or when Java code calls System.exit; it calls one of these
// hooks first. None of these ways runs the runner's clean-up, so the hooks do it and exit
// with the runner's own code.
[[noreturn]] void endProcess(const std::string& what) {
    const ExitCode code = vmStarted ? ExitCode::fmuCallFailed : ExitCode::javaVmFailed;
    std::fflush(nullptr);  // rows already written stay
    std::fprintf(stderr, "kvfmu-run: error: %s\n", what.c_str());
    removeTemporaryFolders();
    _exit(static_cast<int>(code));
}

void JNICALL vmExits(jint status) {
    endProcess(vmStarted
                   ? "the Java VM ended the process with status " + std::to_string(status) +
                         " (System.exit in the FMU's Java code?)"
                   : "the Java VM cannot start: it exited with status " + std::to_string(status));
}

void JNICALL vmAborts() {
    endProcess(vmStarted ? "the Java VM aborted"
                         : "the Java VM cannot start (see its message above)");
}

// Java code's System.out goes to the process's stderr, as the VM's own messages do: stdout
// may carry the result CSV, which a model's print must not break.
bool sendJavaOutputToStderr(JNIEnv* env) {
    bool done = false;
    if (env->PushLocalFrame(8) != JNI_OK) {
        env->ExceptionClear();
        return false;
    }
    if (jclass system = env->FindClass("java/lang/System")) {
        jfieldID err = env->GetStaticFieldID(system, "err", "Ljava/io/PrintStream;");
        jmethodID setOut =
            err ? env->GetStaticMethodID(system, "setOut", "(Ljava/io/PrintStream;)V") : nullptr;
        if (setOut) {
            env->CallStaticVoidMethod(system, setOut, env->GetStaticObjectField(system, err));
            done = !env->ExceptionCheck();
        }
    }
    env->ExceptionClear();
    env->PopLocalFrame(nullptr);
    return done;
}

}  // namespace

FmuJars jarsIn(const fs::path& resources) { return {resources, jarFilesIn(resources)}; }

namespace {

// The options packed into the FMU; none for an FMU packed before they were.
std::vector<std::string> packedVmOptions(const FilePath& resources) {
    const FilePath file = resources / providerSettingsFile;
    std::error_code error;
    if (!fs::exists(file.standard(), error)) return {};
    const SettingsReading reading = readProviderSettings(file);
    if (!reading.problems.empty())
        throw RunError(ExitCode::javaVmFailed, damagedSettingsMessage(file, reading.problems));
    return reading.settings.vmOptions;
}

JavaVM* runnerVm = nullptr;

// -XX:+UseSerialGC, -XX:+UseG1GC, ...
bool choosesCollector(const std::string& option) {
    const std::string prefix = "-XX:+Use", suffix = "GC";
    return option.size() > prefix.size() + suffix.size() && option.rfind(prefix, 0) == 0 &&
           option.compare(option.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

JavaVM* startJavaVm(const FmuJars& classPath, const std::vector<std::string>& extraOptions,
                    const std::vector<std::string>& runnerDefaults) {
    if (runnerVm) return runnerVm;
    VmRequest request;
    request.classPath = classPath.files;
    request.fmuResources = classPath.resources;
    std::vector<std::string> chosen = packedVmOptions(classPath.resources);
    chosen.insert(chosen.end(), extraOptions.begin(), extraOptions.end());
    for (const std::string& option : runnerDefaults) {
        // A later option overrides an earlier one, except a garbage collector: the VM
        // refuses two.
        if (!(choosesCollector(option) && std::any_of(chosen.begin(), chosen.end(), choosesCollector)))
            request.options.push_back(option);
    }
    request.options.insert(request.options.end(), chosen.begin(), chosen.end());
    // The VM's own messages go to stderr: stdout may carry the result CSV.
    request.options.push_back("-XX:+DisplayVMOutputToStderr");
    request.exitHook = &vmExits;
    request.abortHook = &vmAborts;
    const ProcessVm vm = findOrStartJavaVm(request);
    for (const std::string& warning : vm.warnings)
        std::fprintf(stderr, "kvfmu-run: warning: %s\n", warning.c_str());
    if (!vm.vm) throw RunError(ExitCode::javaVmFailed, vm.failure);
    vmStarted = true;
    runnerVm = vm.vm;
    if (vm.started && !sendJavaOutputToStderr(vm.env)) {
        throw RunError(ExitCode::javaVmFailed,
                       "the Java VM started, but its System.out cannot be redirected");
    }
    return vm.vm;
}
