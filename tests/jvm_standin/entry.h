// The prologue of every JNI function of the stand-in: takes the lock, records the call,
// finds the calling thread and checks the rules that apply before any call.
#pragma once

#include "vm_model.h"

#include <string>

namespace standin {

// Functions that JNI allows while an exception is pending (and that need no exception
// check after a call that may throw).
enum class Pending { forbidden, allowed };

class Entry {
public:
    Entry(JNIEnv* env, const char* function, Pending pending, const std::string& detail = {});
    // The thread whose environment was passed; null when the environment is not usable on
    // the calling thread (the broken rule is recorded), and the function then does nothing.
    ThreadState* thread() const { return thread_; }
    // Whether the armed failure of this function is due now.
    bool fails() const { return failsNow(function_); }

private:
    std::lock_guard<std::mutex> hold_;
    const char* function_;
    ThreadState* thread_ = nullptr;
};

// Records a call of a function the stand-in does not provide.
void trap(const char* table, const char* function);

}  // namespace standin
