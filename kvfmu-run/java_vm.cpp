#include "java_vm.h"

#include "exit_codes.h"
#include "temporary_folder.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace fs = std::filesystem;

namespace {

std::string jniErrorText(jint code) {
    switch (code) {
        case JNI_EDETACHED:
            return "thread detached from the VM";
        case JNI_EVERSION:
            return "JNI version not supported";
        case JNI_ENOMEM:
            return "not enough memory";
        case JNI_EEXIST:
            return "a Java VM already exists in this process";
        case JNI_EINVAL:
            return "invalid VM option";
        default:
            return "error " + std::to_string(code);
    }
}

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

std::vector<fs::path> jarsIn(const fs::path& resources) {
    std::vector<fs::path> jars;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(resources, error)) {
        if (entry.is_regular_file() && entry.path().extension() == ".jar")
            jars.push_back(entry.path());
    }
    std::sort(jars.begin(), jars.end());
    return jars;
}

JavaVM* startJavaVm(const std::vector<fs::path>& classPath,
                    const std::vector<std::string>& extraOptions) {
    std::string classPathOption = "-Djava.class.path=";
    for (size_t i = 0; i < classPath.size(); ++i) {
        if (i > 0) classPathOption += ':';
        classPathOption += classPath[i].string();
    }
    // The VM's own messages go to stderr: stdout may carry the result CSV.
    std::vector<std::string> texts = {classPathOption, "-Xrs", "-XX:+DisplayVMOutputToStderr"};
    texts.insert(texts.end(), extraOptions.begin(), extraOptions.end());

    std::vector<JavaVMOption> options(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        options[i].optionString = texts[i].data();
        options[i].extraInfo = nullptr;
    }
    static char exitHook[] = "exit";
    static char abortHook[] = "abort";
    options.push_back({exitHook, reinterpret_cast<void*>(vmExits)});
    options.push_back({abortHook, reinterpret_cast<void*>(vmAborts)});
    JavaVMInitArgs arguments{};
    arguments.version = JNI_VERSION_1_8;
    arguments.nOptions = static_cast<jint>(options.size());
    arguments.options = options.data();
    arguments.ignoreUnrecognized = JNI_FALSE;

    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    jint result = JNI_CreateJavaVM(&vm, reinterpret_cast<void**>(&env), &arguments);
    if (result != JNI_OK) {
        std::string message = "the Java VM cannot start: " + jniErrorText(result);
        if (!extraOptions.empty()) {
            message += " (VM options:";
            for (const auto& option : extraOptions) message += " " + option;
            message += ")";
        }
        throw RunError(ExitCode::javaVmFailed, message);
    }
    vmStarted = true;
    if (!sendJavaOutputToStderr(env)) {
        throw RunError(ExitCode::javaVmFailed,
                       "the Java VM started, but its System.out cannot be redirected");
    }
    return vm;
}
