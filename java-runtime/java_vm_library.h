// The Java VM's library (libjvm.so, jvm.dll) and the VM in it: the library a host has loaded
// already, or one loaded from a runtime found on the machine.
#pragma once

#include "file_path.h"

#include <jni.h>

#include <optional>
#include <string>
#include <vector>

struct JavaVmLibrary {
    jint(JNICALL* createdVms)(JavaVM** vms, jsize size, jsize* count) = nullptr;
    jint(JNICALL* createVm)(JavaVM** vm, void** env, void* arguments) = nullptr;
};

// The VM library the process has loaded already (a VM may run there), kept loaded for good.
std::optional<JavaVmLibrary> loadedVmLibrary();

// Loads a runtime's VM library for good, its symbols shared with what is loaded later.
std::optional<JavaVmLibrary> loadVmLibrary(const FilePath& file, std::string& error);

// The VM running in the library, or null.
JavaVM* runningVm(const JavaVmLibrary& library);

// The options of a VM made to run FMUs: the class path (entries as the VM reads them), the
// given options, then -Xrs (the host keeps its own signal handlers for Ctrl-C and the like)
// and -XX:-UsePerfData (no performance-data file left in the temporary folder).
std::vector<std::string> vmOptionsFor(const std::vector<std::string>& classPath,
                                      const std::vector<std::string>& options);

// Creates the process's VM with the options, and hooks such as "exit" (whose extraInfo is
// the function) right after the first option. The calling thread is attached to the VM then. JNI_OK or the JNI error.
jint createJavaVm(const JavaVmLibrary& library, const std::vector<std::string>& options,
                  const std::vector<JavaVMOption>& hooks, JavaVM** vm, JNIEnv** env);

// "invalid VM option" and the like.
std::string jniErrorText(jint code);

// The jar files of the folder, sorted by name.
std::vector<FilePath> jarFilesIn(const FilePath& folder);
