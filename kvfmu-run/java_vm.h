// The Java VM of the runner's process, created through the JNI invocation interface. The
// FMU's library finds it and attaches to it.
#pragma once

#include <jni.h>

#include <filesystem>
#include <string>
#include <vector>

// The class path for an unpacked FMU: every resources/*.jar, sorted by name.
std::vector<std::filesystem::path> jarsIn(const std::filesystem::path& resources);

// Starts the VM with the class path and the extra options (-Xmx512m, -Dkey=value, ...).
// The VM leaves SIGINT, SIGTERM and SIGHUP to the runner (-Xrs); its own messages and
// what Java code prints to System.out go to stderr. Throws
// RunError(javaVmFailed) when the VM cannot be created. The VM stays up until the process
// ends: one VM per process.
JavaVM* startJavaVm(const std::vector<std::filesystem::path>& classPath,
                    const std::vector<std::string>& extraOptions);
