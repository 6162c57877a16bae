#include "entry.h"

namespace standin {

Entry::Entry(JNIEnv* env, const char* function, Pending pending, const std::string& detail)
    : hold_(vm().lock), function_(function) {
    Vm& v = vm();
    ++v.callCounts[function];
    ThreadState& current = currentThread();
    v.jniCalls.push_back("t" + std::to_string(current.number) + " " + function +
                         (detail.empty() ? "" : " " + detail));
    const std::string where = std::string(function) + " on " + describe(current) + ": ";
    auto owner = v.envs.find(env);
    if (owner == v.envs.end()) {
        violation(where + "not an environment the VM handed out");
        return;
    }
    if (owner->second != &current) {
        violation(where + "environment of " + describe(*owner->second) + " used");
        return;
    }
    if (!current.attached) {
        violation(where + "environment used while the thread is detached");
        return;
    }
    thread_ = &current;
    if (pending == Pending::allowed) return;
    if (current.pending)
        violation(where + "called with an exception pending (" + current.pending->text + ": " +
                  current.pending->message + ")");
    else if (!current.uncheckedCall.empty())
        violation(where + "called after " + current.uncheckedCall +
                  " without checking for an exception");
    current.uncheckedCall.clear();
}

void trap(const char* table, const char* function) {
    std::lock_guard<std::mutex> hold(vm().lock);
    violation(std::string(table) + " function " + function +
              " called, which the library is not expected to use");
}

}  // namespace standin
