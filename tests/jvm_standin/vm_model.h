// What the stand-in VM knows: objects, the references the library holds to them, the
// threads with their environments and local frames, the facade's script and the records.
// One lock guards all of it; every JNI entry holds it for its whole run.
#pragma once

#include <jni.h>

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace standin {

struct Object {
    enum Kind { classObject, facade, string, doubleArray, throwable } kind;
    std::string text;  // class name, a string's UTF-8 form, or the throwable's class
    std::string message;  // throwable only
    std::vector<double> values;  // double[] only
    std::vector<jchar> units;    // string only: its UTF-16 code units, as Java holds them
};

struct ThreadState;

struct Reference {
    Object* target;
    bool global;
    bool deleted;
    ThreadState* thread;  // local references: the owner
    long frame;           // local references: serial of the frame that holds it
};

struct Frame {
    long serial;
    long capacity;
    long live;  // local references of the frame not yet deleted
    bool capacityReported;
    std::vector<Reference*> references;
};

struct ThreadState {
    JNIEnv_ env;  // handed to the library; identifies the thread
    int number;  // as shown in the records
    bool attached = false;
    bool javaThread = false;  // attached by the host; the library must not detach it
    std::atomic<bool> ended{false};  // the thread has ended
    std::vector<Frame> frames;
    Object* pending = nullptr;  // pending exception
    std::string uncheckedCall;  // a Call… made since the last exception check
};

// Buffers handed out by GetStringChars / GetDoubleArrayElements, not yet given back.
struct Loan {
    Object* source;
    ThreadState* thread;
    std::vector<jchar> chars;
    std::vector<double> elements;
};

struct Script {
    std::map<std::string, bool> answers;
    std::map<std::string, std::unique_ptr<std::string>> props;
    std::unique_ptr<std::string> lastError;
    std::unique_ptr<std::vector<double>> data;
    std::set<std::string> throwing;
    std::set<std::string> missing;
    bool createReturnsNull = false;
    std::map<std::string, std::unique_ptr<std::string>> systemProperties;
    int vmCount = 1;
};

struct Vm {
    std::mutex lock;
    // Never shrunk: the library may keep a stale handle across tests, which must then show
    // as a broken rule rather than a crash.
    std::deque<Object> objects;
    std::deque<Reference> references;
    std::set<const Reference*> knownReferences;
    // One per thread that ever called in, in order of first call; a thread that ends is
    // never reused, even if the system reuses its id.
    std::vector<std::unique_ptr<ThreadState>> threads;
    std::map<const JNIEnv*, ThreadState*> envs;
    std::map<const void*, Loan> loans;
    long nextFrame = 1;

    Script script;
    std::map<std::string, int> failAt;  // function -> calls to go before the failing one
    int injected = 0;
    std::map<std::string, int> callCounts;
    std::multiset<std::string> serverInstances;
    bool created = false;  // by JNI_CreateJavaVM, which a process calls once
    std::vector<std::string> creationOptions;
    std::vector<std::string> jniCalls, facadeCalls, violations;
};

Vm& vm();  // callers hold vm().lock

// Threads.
ThreadState& currentThread();
void attach(ThreadState& thread, bool javaThread);
void detach(ThreadState& thread);

// Records and rules.
void violation(const std::string& text);
std::string describe(const ThreadState& thread);
bool failsNow(const std::string& function);
void throwNew(ThreadState& thread, const char* className, const std::string& message);

// Objects and references.
// A string object's units are those of the (UTF-8) text.
Object* newObject(Object::Kind kind, std::string text = std::string());
// A string object of the code units; its text is their UTF-8 form.
Object* newString(std::vector<jchar> units);
jobject newLocal(ThreadState& thread, Object* target);
jobject newGlobal(Object* target);
// The object a reference of the calling thread stands for; null (and a broken rule
// recorded) when it is not a usable reference. A null reference gives null silently.
Object* deref(ThreadState& thread, jobject reference, const char* function);
void deleteLocal(ThreadState& thread, jobject reference, const char* function);
void deleteGlobal(jobject reference, const char* function);
void pushFrame(ThreadState& thread, long capacity);
// Pops the top frame; a result reference moves to the frame below.
jobject popFrame(ThreadState& thread, jobject result);

Object* classNamed(const std::string& name);

// The environment's function table (env_functions.cpp).
const JNINativeInterface_& envTable();

}  // namespace standin
