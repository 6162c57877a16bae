// The Java VM running in the host process: finding it, the calling thread's environment,
// the attach bracket around every bridge operation, and the process-wide bridge state.
#pragma once

#include <jni.h>

#include <cstdint>
#include <string>

// Process-wide bridge state, shared by all instances and unprotected: the host must not
// run two library calls at the same time.
extern JNIEnv* java_env;       // environment of the thread of the current operation
extern jclass korvansim_cls;   // the facade class, a local reference of the current bracket
                               // (null outside every operation)
extern jobject korvansim;      // the facade object (global reference)
extern std::string LastError;  // reason of the last failed set-up step
extern int32_t counter;        // instance set-ups started since load
extern int32_t liveInstances;  // server-side instances created and not yet freed

// Finds the VM and takes the calling thread's environment; reads "kv.root".
bool java_setup();
std::string getJavaProperty(const char* key);

// Every top-level bridge operation opens a bracket before its first Java call and closes
// it on every way out. A thread unknown to the VM is attached for the bracket and
// detached at its end; a thread that was attached before stays attached, and brackets
// nest. Each bracket has its own local reference frame, so no local reference outlives
// the operation that made it, also on threads that never return to Java.
struct JavaBracket {
    bool attached;          // this bracket attached the thread
    bool framed;            // this bracket pushed a local reference frame
    jclass enclosingClass;  // korvansim_cls as the enclosing bracket left it
    JNIEnv* enclosingEnv;   // java_env as the enclosing bracket left it
    JNIEnv* env;            // the environment this bracket took (null: none)
    JavaVM* vm;             // the VM that attached the thread, to detach it from
};
JavaBracket java_attach();
void java_detach(const JavaBracket& bracket);

// The bytes of a (non-null) Java string, which is released; empty when the VM cannot
// provide them.
std::string takeText(jstring value);

// Describes and clears a pending Java exception, after tracing the given text (none when
// null). Answers whether one was pending. No JNI call but the exception functions may
// follow a call that can throw until this has run.
bool exceptionCheck(const wchar_t* trace);
