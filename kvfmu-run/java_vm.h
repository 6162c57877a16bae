// The Java VM of the runner's process. The runner does not link the VM: it starts it as an
// FMU's VM provider does (java-runtime/), and the FMU's binary then finds the VM running.
#pragma once

#include "file_path.h"

#include <jni.h>

#include <filesystem>
#include <string>
#include <vector>

// What an unpacked FMU puts on the VM's class path: every resources/*.jar, sorted by name.
struct FmuJars {
    FilePath resources;
    std::vector<FilePath> files;
};
FmuJars jarsIn(const std::filesystem::path& resources);

// Starts the VM with the FMU's jars on its class path, then the VM options packed into the
// FMU (resources/provider.conf; FMUs packed before it have none), the extra options
// (-Xmx512m, -Dkey=value, ...), -Xrs (SIGINT, SIGTERM and SIGHUP stay the runner's) and
// -XX:-UsePerfData (no performance-data file left behind). Its own messages and what Java
// code prints to System.out go to stderr, and so does a warning about a JAVA_HOME passed
// over. Throws RunError(javaVmFailed) when no Java runtime
// is found or the VM cannot be created. The VM stays up until the process ends; a second
// call answers the same VM. `runnerDefaults` come first, so that the packed and the extra
// options override them.
JavaVM* startJavaVm(const FmuJars& classPath, const std::vector<std::string>& extraOptions,
                    const std::vector<std::string>& runnerDefaults = {});
