// The JNI environment functions the library uses, and a trap in every other entry.
#include "entry.h"
#include "facade_script.h"
#include "jni_entries.h"

#include <cstddef>
#include <cstring>
#include <utility>

namespace standin {

namespace {

const char* const outOfMemory = "java/lang/OutOfMemoryError";

// ---- classes and methods

jclass JNICALL findClass(JNIEnv* env, const char* name) {
    Entry e(env, "FindClass", Pending::forbidden, name ? name : "(null)");
    if (!e.thread()) return nullptr;
    const std::string wanted = name ? name : "";
    if (e.fails() || (wanted != facadeClassName && wanted != "java/lang/System")) {
        throwNew(*e.thread(), "java/lang/NoClassDefFoundError", wanted);
        return nullptr;
    }
    return static_cast<jclass>(newLocal(*e.thread(), classNamed(wanted)));
}

jmethodID lookUp(JNIEnv* env, const char* function, jclass cls, const char* name,
                 const char* signature, bool isStatic) {
    Entry e(env, function, Pending::forbidden, name ? name : "(null)");
    if (!e.thread()) return nullptr;
    Object* target = deref(*e.thread(), cls, function);
    if (!target || target->kind != Object::classObject) {
        violation(std::string(function) + ": no class given");
        return nullptr;
    }
    const Method* method = e.fails() ? nullptr : findMethod(target, name, signature, isStatic);
    if (!method) {
        throwNew(*e.thread(), "java/lang/NoSuchMethodError", name ? name : "");
        return nullptr;
    }
    return reinterpret_cast<jmethodID>(const_cast<Method*>(method));
}

jmethodID JNICALL getMethodID(JNIEnv* env, jclass cls, const char* name, const char* signature) {
    return lookUp(env, "GetMethodID", cls, name, signature, false);
}

jmethodID JNICALL getStaticMethodID(JNIEnv* env, jclass cls, const char* name,
                                    const char* signature) {
    return lookUp(env, "GetStaticMethodID", cls, name, signature, true);
}

// ---- calls

// The common part of the Call…MethodV functions: the method must be one the VM handed
// out, with the result type the function returns, called on the right kind of target.
Answer call(JNIEnv* env, const char* function, jobject target, jmethodID id, va_list args,
            bool isStatic, char resultType, jobject* local) {
    Entry e(env, function, Pending::forbidden);
    Answer answer;
    if (!e.thread()) return answer;
    ThreadState& thread = *e.thread();
    const Method* method = methodOf(id);
    if (!method) {
        violation(std::string(function) + ": not a method id the VM handed out");
        return answer;
    }
    const char returned = std::strchr(method->signature, ')')[1];
    const char kind = returned == '[' ? 'L' : returned;
    if (method->isStatic != isStatic || kind != resultType) {
        violation(std::string(function) + " used for " + method->name + method->signature);
        return answer;
    }
    Object* receiver = deref(thread, target, function);
    if (!receiver) {
        violation(std::string(function) + ": no object or class to call " + method->name + " on");
        return answer;
    }
    answer = invoke(thread, *method, isStatic ? nullptr : receiver, args, function);
    thread.uncheckedCall = function;
    if (local) *local = newLocal(thread, answer.object);
    return answer;
}

jobject JNICALL callObjectMethodV(JNIEnv* env, jobject object, jmethodID id, va_list args) {
    jobject result = nullptr;
    call(env, "CallObjectMethodV", object, id, args, false, 'L', &result);
    return result;
}

jboolean JNICALL callBooleanMethodV(JNIEnv* env, jobject object, jmethodID id, va_list args) {
    return call(env, "CallBooleanMethodV", object, id, args, false, 'Z', nullptr).boolean;
}

void JNICALL callVoidMethodV(JNIEnv* env, jobject object, jmethodID id, va_list args) {
    call(env, "CallVoidMethodV", object, id, args, false, 'V', nullptr);
}

jobject JNICALL callStaticObjectMethodV(JNIEnv* env, jclass cls, jmethodID id, va_list args) {
    jobject result = nullptr;
    call(env, "CallStaticObjectMethodV", cls, id, args, true, 'L', &result);
    return result;
}

// ---- exceptions

jboolean JNICALL exceptionCheck(JNIEnv* env) {
    Entry e(env, "ExceptionCheck", Pending::allowed);
    if (!e.thread()) return JNI_FALSE;
    e.thread()->uncheckedCall.clear();
    return e.thread()->pending ? JNI_TRUE : JNI_FALSE;
}

void JNICALL exceptionDescribe(JNIEnv* env) {
    Entry e(env, "ExceptionDescribe", Pending::allowed);
    if (!e.thread() || !e.thread()->pending) return;
    vm().jniCalls.back() += " " + e.thread()->pending->text + ": " + e.thread()->pending->message;
    e.thread()->pending = nullptr;  // the VM clears what it describes
}

void JNICALL exceptionClear(JNIEnv* env) {
    Entry e(env, "ExceptionClear", Pending::allowed);
    if (e.thread()) e.thread()->pending = nullptr;
}

// ---- references and frames

jint JNICALL pushLocalFrame(JNIEnv* env, jint capacity) {
    Entry e(env, "PushLocalFrame", Pending::allowed);
    if (!e.thread()) return JNI_ERR;
    if (capacity <= 0) {
        violation("PushLocalFrame: capacity must be positive");
        return JNI_ERR;
    }
    if (e.fails()) {
        throwNew(*e.thread(), outOfMemory, "local frame");
        return JNI_ENOMEM;
    }
    pushFrame(*e.thread(), capacity);
    return JNI_OK;
}

jobject JNICALL popLocalFrame(JNIEnv* env, jobject result) {
    Entry e(env, "PopLocalFrame", Pending::allowed);
    if (!e.thread()) return nullptr;
    if (e.thread()->frames.size() < 2) {
        violation("PopLocalFrame on " + describe(*e.thread()) + " without a pushed frame");
        return nullptr;
    }
    return popFrame(*e.thread(), result);
}

jobject JNICALL newGlobalRef(JNIEnv* env, jobject object) {
    Entry e(env, "NewGlobalRef", Pending::forbidden);
    if (!e.thread()) return nullptr;
    Object* target = deref(*e.thread(), object, "NewGlobalRef");
    if (e.fails()) return nullptr;  // out of memory: no exception, just no reference
    return newGlobal(target);
}

void JNICALL deleteGlobalRef(JNIEnv* env, jobject reference) {
    Entry e(env, "DeleteGlobalRef", Pending::allowed);
    if (e.thread()) deleteGlobal(reference, "DeleteGlobalRef");
}

jobject JNICALL newLocalRef(JNIEnv* env, jobject object) {
    Entry e(env, "NewLocalRef", Pending::forbidden);
    if (!e.thread() || !object) return nullptr;
    Object* target = deref(*e.thread(), object, "NewLocalRef");
    return target ? newLocal(*e.thread(), target) : nullptr;
}

void JNICALL deleteLocalRef(JNIEnv* env, jobject reference) {
    Entry e(env, "DeleteLocalRef", Pending::allowed);
    if (e.thread()) deleteLocal(*e.thread(), reference, "DeleteLocalRef");
}

// ---- strings

jstring JNICALL newStringOfUnits(JNIEnv* env, const jchar* units, jsize length) {
    Entry e(env, "NewString", Pending::forbidden);
    if (!e.thread()) return nullptr;
    if (!units || length < 0) {
        violation("NewString: no characters or a negative length");
        return nullptr;
    }
    if (e.fails()) {
        throwNew(*e.thread(), outOfMemory, "string");
        return nullptr;
    }
    Object* made = newString(std::vector<jchar>(units, units + length));
    return static_cast<jstring>(newLocal(*e.thread(), made));
}

Object* typed(ThreadState& thread, jobject reference, Object::Kind kind, const char* function) {
    Object* target = deref(thread, reference, function);
    if (target && target->kind == kind) return target;
    if (target || !reference) violation(std::string(function) + ": object of the wrong type");
    return nullptr;
}

jsize JNICALL getStringLength(JNIEnv* env, jstring string) {
    Entry e(env, "GetStringLength", Pending::forbidden);
    if (!e.thread()) return 0;
    Object* source = typed(*e.thread(), string, Object::string, "GetStringLength");
    return source ? static_cast<jsize>(source->units.size()) : 0;
}

const jchar* JNICALL getStringChars(JNIEnv* env, jstring string, jboolean* isCopy) {
    Entry e(env, "GetStringChars", Pending::forbidden);
    if (!e.thread()) return nullptr;
    Object* source = typed(*e.thread(), string, Object::string, "GetStringChars");
    if (!source) return nullptr;
    if (e.fails()) {
        throwNew(*e.thread(), outOfMemory, "string characters");
        return nullptr;
    }
    Loan loan{source, e.thread(), source->units, {}};
    loan.chars.push_back(0);  // a distinct buffer also for an empty string; not a terminator
    const jchar* chars = loan.chars.data();
    vm().loans.emplace(chars, std::move(loan));
    if (isCopy) *isCopy = JNI_TRUE;
    return chars;
}

// The loan of the buffer, checked to come from that object; null (recorded) otherwise.
Loan* loanOf(const void* buffer, const Object* source, const char* function) {
    auto found = vm().loans.find(buffer);
    if (found == vm().loans.end() || found->second.source != source) {
        violation(std::string(function) + ": buffer not handed out for this object");
        return nullptr;
    }
    return &found->second;
}

void JNICALL releaseStringChars(JNIEnv* env, jstring string, const jchar* chars) {
    Entry e(env, "ReleaseStringChars", Pending::allowed);
    if (!e.thread()) return;
    Object* source = typed(*e.thread(), string, Object::string, "ReleaseStringChars");
    if (source && loanOf(chars, source, "ReleaseStringChars")) vm().loans.erase(chars);
}

// ---- double arrays

jsize JNICALL getArrayLength(JNIEnv* env, jarray array) {
    Entry e(env, "GetArrayLength", Pending::forbidden);
    if (!e.thread()) return 0;
    Object* target = typed(*e.thread(), array, Object::doubleArray, "GetArrayLength");
    return target ? static_cast<jsize>(target->values.size()) : 0;
}

jdoubleArray JNICALL newDoubleArray(JNIEnv* env, jsize length) {
    Entry e(env, "NewDoubleArray", Pending::forbidden);
    if (!e.thread()) return nullptr;
    if (length < 0) {
        throwNew(*e.thread(), "java/lang/NegativeArraySizeException", std::to_string(length));
        return nullptr;
    }
    if (e.fails()) {
        throwNew(*e.thread(), outOfMemory, "double array");
        return nullptr;
    }
    Object* array = newObject(Object::doubleArray);
    array->values.assign(static_cast<size_t>(length), 0.0);
    return static_cast<jdoubleArray>(newLocal(*e.thread(), array));
}

jdouble* JNICALL getDoubleArrayElements(JNIEnv* env, jdoubleArray array, jboolean* isCopy) {
    Entry e(env, "GetDoubleArrayElements", Pending::forbidden);
    if (!e.thread()) return nullptr;
    Object* source = typed(*e.thread(), array, Object::doubleArray, "GetDoubleArrayElements");
    if (!source) return nullptr;
    if (e.fails()) {
        throwNew(*e.thread(), outOfMemory, "array elements");
        return nullptr;
    }
    Loan loan{source, e.thread(), {}, source->values};
    loan.elements.push_back(0.0);  // a distinct buffer also for an empty array
    jdouble* elements = loan.elements.data();
    vm().loans.emplace(elements, std::move(loan));
    if (isCopy) *isCopy = JNI_TRUE;
    return elements;
}

void JNICALL releaseDoubleArrayElements(JNIEnv* env, jdoubleArray array, jdouble* elements,
                                        jint mode) {
    Entry e(env, "ReleaseDoubleArrayElements", Pending::allowed);
    if (!e.thread()) return;
    Object* source =
        typed(*e.thread(), array, Object::doubleArray, "ReleaseDoubleArrayElements");
    Loan* loan = source ? loanOf(elements, source, "ReleaseDoubleArrayElements") : nullptr;
    if (!loan) return;
    if (mode == 0 || mode == JNI_COMMIT)
        source->values.assign(loan->elements.begin(), loan->elements.end() - 1);
    if (mode == 0 || mode == JNI_ABORT) vm().loans.erase(elements);
}

void JNICALL setDoubleArrayRegion(JNIEnv* env, jdoubleArray array, jsize start, jsize length,
                                  const jdouble* buffer) {
    Entry e(env, "SetDoubleArrayRegion", Pending::forbidden);
    if (!e.thread()) return;
    Object* target = typed(*e.thread(), array, Object::doubleArray, "SetDoubleArrayRegion");
    if (!target) return;
    if (start < 0 || length < 0 || static_cast<size_t>(start) + length > target->values.size()) {
        throwNew(*e.thread(), "java/lang/ArrayIndexOutOfBoundsException", "region");
        return;
    }
    if (length > 0) std::memcpy(&target->values[start], buffer, length * sizeof(jdouble));
}

// ---- the table

enum EnvEntry {
#define STANDIN_ENV_ENUM(name) envEntry_##name,
    JNI_ENV_ENTRIES(STANDIN_ENV_ENUM)
#undef STANDIN_ENV_ENUM
        envEntryCount
};

const char* const envEntryNames[] = {
#define STANDIN_ENV_NAME(name) #name,
    JNI_ENV_ENTRIES(STANDIN_ENV_NAME)
#undef STANDIN_ENV_NAME
};

#define STANDIN_ENV_ORDER(name)                                                      \
    static_assert(offsetof(JNINativeInterface_, name) == envEntry_##name * sizeof(void*), \
                  "entry " #name " out of table order");
JNI_ENV_ENTRIES(STANDIN_ENV_ORDER)
#undef STANDIN_ENV_ORDER
static_assert(sizeof(JNINativeInterface_) == envEntryCount * sizeof(void*),
              "the entry list does not cover the table");

// Every entry starts as a trap naming itself; on x86-64 a function that takes nothing and
// answers 0 in the integer register can stand in for any entry.
template <size_t index>
void* envTrap() {
    trap("JNI", envEntryNames[index]);
    return nullptr;
}

template <size_t... indexes>
void fillWithTraps(JNINativeInterface_& table, std::index_sequence<indexes...>) {
    void* entries[] = {reinterpret_cast<void*>(&envTrap<indexes>)...};
    std::memcpy(&table, entries, sizeof entries);
}

JNINativeInterface_ makeTable() {
    JNINativeInterface_ table;
    fillWithTraps(table, std::make_index_sequence<envEntryCount>());
    table.FindClass = findClass;
    table.GetMethodID = getMethodID;
    table.GetStaticMethodID = getStaticMethodID;
    table.CallObjectMethodV = callObjectMethodV;
    table.CallBooleanMethodV = callBooleanMethodV;
    table.CallVoidMethodV = callVoidMethodV;
    table.CallStaticObjectMethodV = callStaticObjectMethodV;
    table.ExceptionCheck = exceptionCheck;
    table.ExceptionDescribe = exceptionDescribe;
    table.ExceptionClear = exceptionClear;
    table.PushLocalFrame = pushLocalFrame;
    table.PopLocalFrame = popLocalFrame;
    table.NewGlobalRef = newGlobalRef;
    table.DeleteGlobalRef = deleteGlobalRef;
    table.DeleteLocalRef = deleteLocalRef;
    table.NewLocalRef = newLocalRef;
    table.NewString = newStringOfUnits;
    table.GetStringLength = getStringLength;
    table.GetStringChars = getStringChars;
    table.ReleaseStringChars = releaseStringChars;
    table.GetArrayLength = getArrayLength;
    table.NewDoubleArray = newDoubleArray;
    table.GetDoubleArrayElements = getDoubleArrayElements;
    table.ReleaseDoubleArrayElements = releaseDoubleArrayElements;
    table.SetDoubleArrayRegion = setDoubleArrayRegion;
    return table;
}

}  // namespace

const JNINativeInterface_& envTable() {
    static const JNINativeInterface_ table = makeTable();
    return table;
}

}  // namespace standin
