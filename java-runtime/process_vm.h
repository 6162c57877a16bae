// The process's one Java VM, as the FMU's VM provider and kvfmu-run get it: the VM already
// running in the process, or one started from the FMU's own Java runtime or the one found on
// the machine, with the options of a VM made to run FMUs. A failed start is reported one way for both.
#pragma once

#include "file_path.h"

#include <jni.h>

#include <string>
#include <vector>

struct VmRequest {
    std::vector<FilePath> classPath;
    // The FMU's resources folder: the FMU's own runtime in it, if any, comes before any on
    // the machine.
    FilePath fmuResources;
    // The options packed into the FMU, then the caller's; -Xrs and -XX:-UsePerfData follow.
    std::vector<std::string> options;
    // Called when the VM ends the process (while it starts, or later through System.exit),
    // after the VM's own text so far has been passed on.
    void(JNICALL* exitHook)(jint status) = nullptr;
    void(JNICALL* abortHook)() = nullptr;
    // Receives the VM's own text, line by line, while it starts; when null it goes to the
    // stream the VM chose, as always.
    void (*vmText)(const std::string& line) = nullptr;
};

struct ProcessVm {
    JavaVM* vm = nullptr;
    bool started = false;  // by this call; the calling thread is attached then
    JNIEnv* env = nullptr;  // the calling thread's, when started
    // "Java 17.0.15 at /usr/lib/jvm/java-17-openjdk-amd64, found through JAVA_HOME"
    std::string runtime;
    // What the user should know though the VM started, e.g. a JAVA_HOME passed over.
    std::vector<std::string> warnings;
    std::string failure;  // why there is no VM
    bool startFailed = false;  // the VM failed to start: none can be made in this process now
};

// The VM running in the process, or a new one. A process holds one VM at most, and a VM
// cannot be created again after a failed start: the caller keeps the first answer.
ProcessVm findOrStartJavaVm(const VmRequest& request);

// Why the running VM cannot serve FMUs (it is older than Java 17), or empty. The calling
// thread must be attached.
std::string tooOldVmProblem(JNIEnv* env);
