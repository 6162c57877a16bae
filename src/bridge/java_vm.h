// The Java VM running in the host process: finding it, the calling thread's environment,
// the attach bracket around every bridge operation, and the bridge state.
#pragma once

#include <jni.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// Bridge state of the calling thread. A JNI environment and the local references made
// through it are valid on their own thread only, and a failure's reason belongs to the
// call that failed: instances driven from different threads share none of this.
extern thread_local JNIEnv* java_env;       // environment of the current operation's thread
extern thread_local jclass korvansim_cls;   // the facade class, a local reference of the
                                            // current bracket (null outside every operation)
extern thread_local jobject korvansim_ref;  // the facade object as the current bracket took
                                            // it: a local reference (null outside brackets)
extern thread_local std::string LastError;  // reason of the thread's last failed bridge step

// Process-wide state. The facade object serves every instance; facadeLock guards it and
// liveInstances. Nothing calls Java while holding the lock.
extern std::mutex facadeLock;
extern jobject korvansim;                 // the facade object (global reference)
extern int32_t liveInstances;             // server-side instances created or being created,
                                          // and not yet freed
extern std::atomic<int32_t> counter;      // instance set-ups started since load

// Finds the VM and takes the calling thread's environment; reads "kv.root".
bool java_setup();
std::string getJavaProperty(const char* key);

// Every top-level bridge operation opens a bracket before its first Java call and closes
// it on every way out. A thread unknown to the VM is attached for the bracket and
// detached at its end; a thread that was attached before stays attached, and brackets
// nest. Each bracket has its own local reference frame, so no local reference outlives
// the operation that made it, also on threads that never return to Java. The outermost
// bracket of a thread takes its own local reference of the facade object, so that another
// thread's set-up or release cannot pull the object away in mid-operation; nested
// brackets use the enclosing one's environment, class and facade.
struct JavaBracket {
    bool attached;           // this bracket attached the thread
    bool framed;             // this bracket pushed a local reference frame
    jclass enclosingClass;   // korvansim_cls as the enclosing bracket left it
    jobject enclosingFacade; // korvansim_ref as the enclosing bracket left it
    JNIEnv* enclosingEnv;    // java_env as the enclosing bracket left it
    JNIEnv* env;             // the environment this bracket took (null: none)
    JavaVM* vm;              // the VM that attached the thread, to detach it from
};
JavaBracket java_attach();
void java_detach(const JavaBracket& bracket);
// The bracket of an instance set-up, on the environment java_setup has just taken (the VM
// knows the thread, so nothing is looked up or attached). The brackets of the set-up's
// facade calls nest in it and call the facade object the set-up puts into korvansim_ref:
// its own, which no other thread sees before it is connected.
JavaBracket java_attach_setup(JNIEnv* env);

// The facade object for a set-up that runs outside any bracket: a local reference of the
// current frame (null when there is none).
jobject facadeReference();

// Texts cross as UTF-16 (text_encoding.h); a host's ill-formed UTF-8 arrives as U+FFFD.
// A Java string of the UTF-8 text (null as the empty string); null, with the VM's exception
// pending, when the VM could not make one.
jstring newJavaString(JNIEnv* env, const char* text);
// The UTF-8 text of a (non-null) Java string, which is released; empty when the VM cannot
// provide its characters, which *unreadable (when given) then tells.
std::string takeText(jstring value, bool* unreadable = nullptr);

// Describes and clears a pending Java exception, after tracing the given text (none when
// null). Answers whether one was pending. No JNI call but the exception functions may
// follow a call that can throw until this has run.
bool exceptionCheck(const wchar_t* trace);
// The same on the given environment (java_env, read once by the caller).
bool exceptionCheck(JNIEnv* env, const wchar_t* trace);
