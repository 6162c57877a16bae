// The Java VM of a test host that does not link it: found through the VM library the
// process has loaded already, or started by hand as a host program would.
// Each query runs on the calling thread, attaching it for the query only when it must.
#pragma once

#include <jni.h>

#include <string>

// The VM running in the process; null when there is none (no VM library loaded, or no VM).
JavaVM* processVm();

// Starts the process's VM from the JDK of the build, with the class path (may be empty).
JavaVM* startHostVm(const std::string& classPath);

std::string javaProperty(const char* key);
// The VM's options as the VM reports them (RuntimeMXBean.getInputArguments()).
std::string vmInputArguments();
// The Java threads alive in the VM (Thread.getAllStackTraces()), the calling thread included.
int liveJavaThreads();
// The exit status of the program started by Java code (ProcessBuilder), as a model that
// runs a tool would; -1 when Java cannot start it.
int javaRunsProgram(const char* program);
// Whether the VM knows the calling thread.
bool callingThreadAttached();
