// The classes the stand-in VM knows and the scripted facade behind their methods.
#pragma once

#include "vm_model.h"

#include <cstdarg>

namespace standin {

extern const char* const facadeClassName;  // com/korvan/kvbridge/KorvanSim

struct Method {
    const char* className;
    const char* name;
    const char* signature;
    bool isStatic;
};

// The method of the class with this name and signature, if the script has not removed it;
// null otherwise.
const Method* findMethod(const Object* cls, const char* name, const char* signature,
                         bool isStatic);
// The method a method id stands for; null for an id the VM never handed out.
const Method* methodOf(jmethodID id);

// Runs a method with the arguments its signature names, read from the list; the answer is
// a boolean, an object (to be made a local reference) or nothing. Scripted exceptions are
// left pending on the thread.
struct Answer {
    jboolean boolean = JNI_FALSE;
    Object* object = nullptr;
};
Answer invoke(ThreadState& thread, const Method& method, Object* receiver, va_list args,
              const char* function);

// Java-like text of a double, the same on every platform.
std::string doubleText(double value);

}  // namespace standin
