#include "facade_script.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace standin {

const char* const facadeClassName = "com/korvan/kvbridge/KorvanSim";

namespace {

const char* const systemClassName = "java/lang/System";

const Method methods[] = {
    {systemClassName, "getProperty", "(Ljava/lang/String;)Ljava/lang/String;", true},
    {facadeClassName, "create", "()Lcom/korvan/kvbridge/KorvanSim;", true},
    {facadeClassName, "doInitConnection", "()Z", false},
    {facadeClassName, "doInstantiate", "(Ljava/lang/String;Ljava/lang/String;)Z", false},
    {facadeClassName, "getLasterror", "()Ljava/lang/String;", false},
    {facadeClassName, "getProp", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;",
     false},
    {facadeClassName, "doSetupExperiment", "(Ljava/lang/String;DZD)Z", false},
    {facadeClassName, "doInitializeModel", "(Ljava/lang/String;)Z", false},
    {facadeClassName, "setReal", "(Ljava/lang/String;ID)V", false},
    {facadeClassName, "doStepModel", "(Ljava/lang/String;DD[D)Z", false},
    {facadeClassName, "getData", "(Ljava/lang/String;)[D", false},
    {facadeClassName, "doTerminate", "(Ljava/lang/String;)V", false},
    {facadeClassName, "doFreeInstance", "(Ljava/lang/String;)V", false},
};

// One argument as read from the list, and its text in the call record.
struct Argument {
    Object* object = nullptr;
    double number = 0;
    bool flag = false;
    std::string text;
};

std::string arrayText(const std::vector<double>& values) {
    std::string text = "[";
    for (size_t i = 0; i < values.size(); ++i) text += (i ? ", " : "") + doubleText(values[i]);
    return text + "]";
}

// Reads the arguments the signature names. Objects must be of the declared type.
std::vector<Argument> readArguments(ThreadState& thread, const Method& method, va_list args,
                                    const char* function) {
    std::vector<Argument> read;
    for (const char* p = method.signature + 1; *p && *p != ')'; ++p) {
        Argument a;
        switch (*p) {
        case 'Z':
            a.flag = va_arg(args, int) != 0;  // promoted to int in a variable argument list
            a.text = a.flag ? "true" : "false";
            break;
        case 'I': {
            const jint value = va_arg(args, jint);
            a.number = value;
            a.text = std::to_string(value);
            break;
        }
        case 'D':
            a.number = va_arg(args, double);
            a.text = doubleText(a.number);
            break;
        case 'L':
        case '[': {
            const bool isArray = *p == '[';
            if (isArray) ++p;
            if (*p == 'L')
                while (*p != ';') ++p;
            a.object = deref(thread, va_arg(args, jobject), function);
            const Object::Kind expected = isArray ? Object::doubleArray : Object::string;
            if (a.object && a.object->kind != expected)
                violation(std::string(function) + ": argument of the wrong type for " +
                          method.name);
            if (!a.object)
                a.text = "null";
            else
                a.text = isArray ? arrayText(a.object->values) : a.object->text;
            break;
        }
        default:
            violation(std::string("stand-in cannot pass arguments of ") + method.signature);
            return read;
        }
        read.push_back(a);
    }
    return read;
}

const std::string* optional(const std::unique_ptr<std::string>& value) { return value.get(); }

Object* stringOrNull(const std::string* text) {
    return text ? newObject(Object::string, *text) : nullptr;
}

}  // namespace

std::string doubleText(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    // Plain digits in the range where Java writes them so, an exponent elsewhere; the
    // fewest digits that read back as the value.
    const double magnitude = std::fabs(value);
    const bool plain = magnitude == 0 || (magnitude >= 1e-3 && magnitude < 1e7);
    char text[64];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, plain ? "%.*f" : "%.*e", precision, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    return text;
}

const Method* findMethod(const Object* cls, const char* name, const char* signature,
                         bool isStatic) {
    if (!cls || !name || !signature) return nullptr;
    for (const Method& m : methods) {
        if (cls->text != m.className || std::string(name) != m.name ||
            std::string(signature) != m.signature || isStatic != m.isStatic)
            continue;
        if (cls->text == facadeClassName && vm().script.missing.count(m.name)) return nullptr;
        return &m;
    }
    return nullptr;
}

const Method* methodOf(jmethodID id) {
    for (const Method& m : methods)
        if (reinterpret_cast<jmethodID>(const_cast<Method*>(&m)) == id) return &m;
    return nullptr;
}

Answer invoke(ThreadState& thread, const Method& method, Object* receiver, va_list args,
              const char* function) {
    Vm& v = vm();
    Script& script = v.script;
    const std::vector<Argument> a = readArguments(thread, method, args, function);
    const std::string name = method.name;
    Answer answer;

    if (method.className == systemClassName) {
        const std::string key = a.empty() || !a[0].object ? "" : a[0].object->text;
        auto found = script.systemProperties.find(key);
        if (found != script.systemProperties.end())
            answer.object = stringOrNull(optional(found->second));
        return answer;
    }
    if (!method.isStatic && (!receiver || receiver->kind != Object::facade))
        violation(std::string(function) + ": " + name + " called on an object that is no facade");

    std::string call = name + "(";
    for (size_t i = 0; i < a.size(); ++i) call += (i ? "," : "") + a[i].text;
    v.facadeCalls.push_back(call + ")");
    if (script.throwing.count(name)) {
        throwNew(thread, "java/lang/RuntimeException", "scripted failure in " + name);
        return answer;
    }

    auto boolean = [&]() -> jboolean {
        auto found = script.answers.find(name);
        return found == script.answers.end() || found->second ? JNI_TRUE : JNI_FALSE;
    };
    const std::string instance = a.empty() ? "" : a[0].text;
    if (name == "create") {
        if (!script.createReturnsNull) answer.object = newObject(Object::facade);
    } else if (name == "getLasterror") {
        answer.object = stringOrNull(optional(script.lastError));
    } else if (name == "getProp") {
        auto found = script.props.find(a[1].text);
        if (found != script.props.end()) answer.object = stringOrNull(optional(found->second));
    } else if (name == "getData") {
        if (script.data) {
            answer.object = newObject(Object::doubleArray);
            answer.object->values = *script.data;
        }
    } else if (name == "doFreeInstance") {
        auto found = v.serverInstances.find(instance);
        if (found != v.serverInstances.end()) v.serverInstances.erase(found);
    } else if (name != "setReal" && name != "doTerminate") {
        answer.boolean = boolean();
        if (name == "doInstantiate" && answer.boolean) v.serverInstances.insert(instance);
    }
    return answer;
}

}  // namespace standin
