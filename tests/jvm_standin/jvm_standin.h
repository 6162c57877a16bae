/* Control interface of the scripted Java VM stand-in (libjvm.so / jvm.dll of the test
   programs). A test scripts the facade's answers, injects JNI failures and reads back what
   the library did: the JNI calls, the facade calls and every broken JNI rule. Plain C types
   only, so that the Windows test program and the DLL need not share a C++ runtime. Texts
   that come back stay valid until the next call of the same function. */
#pragma once

#include <stddef.h>

#if defined(_WIN32)
#if defined(JVM_STANDIN_BUILDING)
#define JVM_STANDIN_API __declspec(dllexport)
#else
#define JVM_STANDIN_API __declspec(dllimport)
#endif
#else
#define JVM_STANDIN_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Default script, empty records, no failure armed, no thread attached. References and
   objects of earlier tests stay valid, since the library may still hold some. */
JVM_STANDIN_API void jvmStandinReset(void);
/* The calling thread becomes a Java thread of the host (like the thread that created the
   VM): attached, with a native frame of its own, never to be detached by the library. */
JVM_STANDIN_API void jvmStandinBecomeJavaThread(void);

/* The facade's script. Methods: create, doInitConnection, doInstantiate, getLasterror,
   getProp, doSetupExperiment, doInitializeModel, setReal, doStepModel, getData, doTerminate,
   doFreeInstance. */
JVM_STANDIN_API void jvmStandinAnswer(const char* method, int value); /* boolean answers; default true */
JVM_STANDIN_API void jvmStandinProp(const char* key, const char* valueOrNull); /* getProp; default null */
JVM_STANDIN_API void jvmStandinLastError(const char* textOrNull); /* getLasterror; default "" */
JVM_STANDIN_API void jvmStandinData(const double* values, int count); /* getData; count < 0: null */
JVM_STANDIN_API void jvmStandinThrowIn(const char* method); /* throws after its call is logged */
JVM_STANDIN_API void jvmStandinRemoveMethod(const char* method); /* the class lacks it */
JVM_STANDIN_API void jvmStandinCreateReturnsNull(int yes);
/* java.lang.System properties; "kv.root" is "/opt/kv" by default. */
JVM_STANDIN_API void jvmStandinSystemProperty(const char* key, const char* valueOrNull);
/* Number of VMs JNI_GetCreatedJavaVMs reports (default 1). */
JVM_STANDIN_API void jvmStandinVmCount(int count);

/* Makes the n-th call (1 = the next one) of the named function from now on fail as the VM
   fails it: JNI_GetCreatedJavaVMs, GetEnv, AttachCurrentThread, FindClass, GetMethodID,
   GetStaticMethodID, NewString, GetStringChars, NewDoubleArray,
   GetDoubleArrayElements, PushLocalFrame, NewGlobalRef. Answers 0 for any other name. */
JVM_STANDIN_API int jvmStandinFailAt(const char* function, int nth);
/* Failures injected since the reset. */
JVM_STANDIN_API int jvmStandinInjectedFailures(void);
/* Calls of the named JNI function since the reset, on any thread. */
JVM_STANDIN_API int jvmStandinCallCount(const char* function);

/* Records since the reset, one entry a line: the JNI calls ("t<thread> <function>"), the
   facade calls ("method(arg,arg)") and the broken rules and trapped functions. */
JVM_STANDIN_API const char* jvmStandinJniCalls(void);
JVM_STANDIN_API const char* jvmStandinFacadeCalls(void);
JVM_STANDIN_API const char* jvmStandinViolations(void);

/* The options JNI_CreateJavaVM was called with, one a line (a hook's marked " (hook)");
   empty when it was not called. A reset keeps them: a VM is created once per process. */
JVM_STANDIN_API const char* jvmStandinCreationOptions(void);

/* End-of-test checks, added to the violations: threads the library left attached, frames,
   characters and elements not given back, exceptions left pending. */
JVM_STANDIN_API void jvmStandinCheckQuiescent(void);
/* State that tests compare. */
JVM_STANDIN_API int jvmStandinThreadAttached(void); /* the calling thread */
JVM_STANDIN_API int jvmStandinLiveGlobalRefs(void);
JVM_STANDIN_API int jvmStandinLiveServerInstances(void);
/* Live local references of the calling thread, all frames. */
JVM_STANDIN_API int jvmStandinLocalRefs(void);

#ifdef __cplusplus
}
#endif
