#include "vm_model.h"

#include "java_text.h"

#include <sstream>

#ifdef _WIN32
#include <windows.h>
#endif

namespace standin {

namespace {
// Local references a frame may hold before the VM warns: JNI guarantees 16 to a native
// method, and PushLocalFrame asks for its own.
constexpr long nativeFrameCapacity = 16;
}  // namespace

Vm& vm() {
    static Vm* instance = new Vm;  // never destroyed: the library may call in during exit
    return *instance;
}

namespace {

// Notices the end of a thread. It only marks the state: the end-of-test checks report a
// thread that ended attached (under wine, work at thread end can stall the exit).
struct ThreadEnd {
    ThreadState* state = nullptr;
    ~ThreadEnd() {
        if (state) state->ended = true;
    }
};

thread_local ThreadEnd threadEnd;

#ifdef _WIN32
// The thread also in a Win32 slot, as a real VM keeps it: DLLs that hear of a thread's end
// (DLL_THREAD_DETACH) may still call in after the C++ thread-local variables are gone.
const DWORD threadSlot = TlsAlloc();
#endif

}  // namespace

ThreadState& currentThread() {
    if (threadEnd.state) return *threadEnd.state;
#ifdef _WIN32
    if (auto* known = static_cast<ThreadState*>(TlsGetValue(threadSlot))) return *known;
#endif
    Vm& v = vm();
    v.threads.push_back(std::make_unique<ThreadState>());
    ThreadState& thread = *v.threads.back();
    thread.number = static_cast<int>(v.threads.size());
    threadEnd.state = &thread;
#ifdef _WIN32
    TlsSetValue(threadSlot, &thread);
#endif
    return thread;
}

std::string describe(const ThreadState& thread) {
    return "thread " + std::to_string(thread.number);
}

void violation(const std::string& text) { vm().violations.push_back(text); }

bool failsNow(const std::string& function) {
    Vm& v = vm();
    auto armed = v.failAt.find(function);
    if (armed == v.failAt.end() || --armed->second > 0) return false;
    v.failAt.erase(armed);
    ++v.injected;
    v.jniCalls.push_back("  (failed as injected)");
    return true;
}

Object* newObject(Object::Kind kind, std::string text) {
    Vm& v = vm();
    v.objects.push_back(Object{kind, std::move(text), std::string(), {}, {}});
    Object* made = &v.objects.back();
    if (kind == Object::string) made->units = unitsOfUtf8(made->text);
    return made;
}

Object* newString(std::vector<jchar> units) {
    Object* made = newObject(Object::string);
    made->text = utf8OfUnits(units);
    made->units = std::move(units);
    return made;
}

void throwNew(ThreadState& thread, const char* className, const std::string& message) {
    Object* exception = newObject(Object::throwable, className);
    exception->message = message;
    thread.pending = exception;
}

Object* classNamed(const std::string& name) {
    static std::map<std::string, Object*> classes;
    auto found = classes.find(name);
    if (found != classes.end()) return found->second;
    Object* cls = newObject(Object::classObject, name);
    classes.emplace(name, cls);
    return cls;
}

jobject newLocal(ThreadState& thread, Object* target) {
    if (!target) return nullptr;
    Vm& v = vm();
    Frame& frame = thread.frames.back();
    v.references.push_back(Reference{target, false, false, &thread, frame.serial});
    Reference* reference = &v.references.back();
    v.knownReferences.insert(reference);
    frame.references.push_back(reference);
    if (++frame.live > frame.capacity && !frame.capacityReported) {
        frame.capacityReported = true;
        std::ostringstream text;
        text << describe(thread) << ": more local references (" << frame.live
             << ") than the frame's capacity (" << frame.capacity << ")";
        violation(text.str());
    }
    return reinterpret_cast<jobject>(reference);
}

jobject newGlobal(Object* target) {
    if (!target) return nullptr;
    Vm& v = vm();
    v.references.push_back(Reference{target, true, false, nullptr, 0});
    Reference* reference = &v.references.back();
    v.knownReferences.insert(reference);
    return reinterpret_cast<jobject>(reference);
}

namespace {

bool frameLive(const ThreadState& thread, long serial) {
    for (const Frame& frame : thread.frames)
        if (frame.serial == serial) return true;
    return false;
}

Reference* known(jobject handle) {
    auto* reference = reinterpret_cast<Reference*>(handle);
    return vm().knownReferences.count(reference) ? reference : nullptr;
}

}  // namespace

Object* deref(ThreadState& thread, jobject handle, const char* function) {
    if (!handle) return nullptr;
    Reference* reference = known(handle);
    const std::string where = std::string(function) + " on " + describe(thread) + ": ";
    if (!reference) {
        violation(where + "not a reference the VM handed out");
        return nullptr;
    }
    if (reference->deleted) {
        violation(where + (reference->global ? "global" : "local") +
                  " reference used after it was deleted or its frame was popped");
        return nullptr;
    }
    if (!reference->global) {
        if (reference->thread != &thread) {
            violation(where + "local reference of " + describe(*reference->thread) +
                      " used on another thread");
            return nullptr;
        }
        if (!frameLive(thread, reference->frame)) {
            violation(where + "local reference used outside its frame");
            return nullptr;
        }
    }
    return reference->target;
}

void deleteLocal(ThreadState& thread, jobject handle, const char* function) {
    if (!handle) return;
    if (!deref(thread, handle, function)) return;
    Reference* reference = known(handle);
    if (reference->global) {
        violation(std::string(function) + ": a global reference deleted as a local one");
        return;
    }
    reference->deleted = true;
    for (Frame& frame : thread.frames)
        if (frame.serial == reference->frame) --frame.live;
}

void deleteGlobal(jobject handle, const char* function) {
    if (!handle) return;
    Reference* reference = known(handle);
    if (!reference || !reference->global || reference->deleted) {
        violation(std::string(function) + ": not a live global reference");
        return;
    }
    reference->deleted = true;
}

void pushFrame(ThreadState& thread, long capacity) {
    thread.frames.push_back(Frame{vm().nextFrame++, capacity, 0, false, {}});
}

namespace {
void popTopFrame(ThreadState& thread) {
    for (Reference* reference : thread.frames.back().references) reference->deleted = true;
    thread.frames.pop_back();
}
}  // namespace

jobject popFrame(ThreadState& thread, jobject result) {
    Object* kept = deref(thread, result, "PopLocalFrame");
    popTopFrame(thread);
    return newLocal(thread, kept);
}

void attach(ThreadState& thread, bool javaThread) {
    thread.attached = true;
    thread.javaThread = javaThread;
    thread.pending = nullptr;
    thread.uncheckedCall.clear();
    while (!thread.frames.empty()) popTopFrame(thread);
    pushFrame(thread, nativeFrameCapacity);
    thread.env.functions = &envTable();
    vm().envs[&thread.env] = &thread;
}

void detach(ThreadState& thread) {
    const std::string who = describe(thread);
    if (thread.frames.size() > 1)
        violation(who + " detached with " + std::to_string(thread.frames.size() - 1) +
                  " local frame(s) not popped");
    if (thread.pending)
        violation(who + " detached with an exception pending: " + thread.pending->text);
    for (const auto& loan : vm().loans)
        if (loan.second.thread == &thread)
            violation(who + " detached holding characters or elements not given back");
    while (!thread.frames.empty()) popTopFrame(thread);
    thread.attached = false;
    thread.javaThread = false;
    thread.pending = nullptr;
    thread.uncheckedCall.clear();
}

}  // namespace standin
