#include "facade_access.h"

#include "java_runtime.h"

#include <jvmti.h>

namespace {

const char* const facadeClass = "com/korvan/kvbridge/KorvanSim";

// FindClass from a thread without Java frames asks the system class loader, as the
// library's own lookup does.
bool facadeFound(JNIEnv* env) {
    jclass found = env->FindClass(facadeClass);
    if (!found) {
        env->ExceptionClear();  // NoClassDefFoundError
        return false;
    }
    env->DeleteLocalRef(found);
    return true;
}

std::string jarList(const std::vector<FilePath>& jars) {
    std::string list;
    for (const FilePath& jar : jars) list += (list.empty() ? "" : ", ") + pathText(jar);
    return list;
}

}  // namespace

bool makeFacadeLoadable(JavaVM* vm, JNIEnv* env, const std::vector<FilePath>& jars,
                        std::string& failure) {
    if (facadeFound(env)) return true;
    jvmtiEnv* jvmti = nullptr;
    if (vm->GetEnv(reinterpret_cast<void**>(&jvmti), JVMTI_VERSION_1_2) != JNI_OK || !jvmti) {
        failure = "the Java VM in this process cannot load the facade com.korvan.kvbridge.KorvanSim, "
                  "and it offers no JVMTI to add the FMU's jars to its class path: start it with " +
                  jarList(jars) + " on its class path";
        return false;
    }
    std::string refused;
    for (const FilePath& jar : jars) {
        const std::string segment = pathText(jar);
        const jvmtiError added = jvmti->AddToSystemClassLoaderSearch(segment.c_str());
        if (added != JVMTI_ERROR_NONE)
            refused += (refused.empty() ? "" : ", ") + segment + " (JVMTI error " +
                       std::to_string(static_cast<int>(added)) + ")";
    }
    jvmti->DisposeEnvironment();
    if (facadeFound(env)) return true;
    failure = "the Java VM in this process cannot load the facade com.korvan.kvbridge.KorvanSim, "
              "not even after adding " + jarList(jars) + " to its class path";
    if (!refused.empty()) failure += "; the VM refused " + refused;
    return false;
}
