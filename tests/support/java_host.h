// A Java VM created inside the test process, as a simulation host would run it, and C++
// wrappers for the test facade's Script class (tests/java). The wrappers run on the thread
// that created the VM; each deletes its local references and fails the current test if a
// Java exception comes out of the call.
#pragma once

#include <jni.h>

#include <string>
#include <vector>

// Creates the process's one VM on the calling thread (JNI_VERSION_1_8) with the given
// class path and options, plus the blank-separated options of the environment variable
// KVFMU_TEST_JVM_OPTIONS (e.g. -Xcheck:jni). Answers null when the VM cannot be created.
JavaVM* startJavaVmWithClassPath(const std::string& classPath,
                                 const std::vector<std::string>& extraOptions);

#ifdef KVFMU_TEST_CLASS_PATH
// The class path is the facade jar that the test executable was built for.
inline JavaVM* startJavaVm(const std::vector<std::string>& extraOptions = {}) {
    return startJavaVmWithClassPath(KVFMU_TEST_CLASS_PATH, extraOptions);
}
#endif

JavaVM* testJavaVm();
JNIEnv* mainThreadEnv();

// GetEnv on the calling thread: JNI_OK when attached, JNI_EDETACHED when not.
jint javaThreadStatus();
// Whether a Java exception is pending on the creating thread.
bool javaExceptionPending();

void scriptReset();
void scriptAnswer(const char* method, bool value);
void scriptProp(const char* key, const char* valueOrNull);
// The counts the server reports: "number_of_reals", "number_of_outputs", "number_of_inputs".
void scriptLayout(const char* reals, const char* outputs, const char* inputs);
void scriptLastError(const char* textOrNull);
void scriptData(const std::vector<double>& values);
void scriptNoData();  // getData answers null
void scriptThrowIn(const char* method);
void scriptCreateReturnsNull(bool yes);
// The next call of the method waits, inside the facade, until scriptRelease(); another
// thread makes that call, and scriptAwaitHeld() waits until it is there.
void scriptHoldIn(const char* method);
void scriptAwaitHeld();
void scriptRelease();
std::vector<std::string> facadeCalls();
// The Java thread id of each call in facadeCalls(), in the same order.
std::vector<long long> facadeCallThreads();
// Facade objects still reachable after a full garbage collection.
int liveFacadeObjects();

// The number of JNI local references that the calling thread holds, in all its frames, as
// the VM's heap walk reports them (JVMTI). The thread must be attached.
size_t localReferenceCount();

// The number of JNI global references in the VM (JVMTI heap roots).
size_t globalReferenceCount();
// The number of live non-daemon Java threads (JVMTI): the VM's creating thread and every
// native thread attached with AttachCurrentThread; the VM's own threads are daemons.
int nonDaemonJavaThreadCount();
