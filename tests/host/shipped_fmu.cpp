#include "shipped_fmu.h"

#include <dlfcn.h>

namespace {

template <typename F>
F symbol(void* handle, const char* name) {
    return reinterpret_cast<F>(dlsym(handle, name));
}

}  // namespace

Fmu loadFmu(const char* path) {
    Fmu f{};
    f.handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!f.handle) return f;
    f.instantiate = symbol<decltype(f.instantiate)>(f.handle, "fmi2Instantiate");
    f.setupExperiment = symbol<decltype(f.setupExperiment)>(f.handle, "fmi2SetupExperiment");
    f.enterInitializationMode =
        symbol<decltype(f.enterInitializationMode)>(f.handle, "fmi2EnterInitializationMode");
    f.exitInitializationMode =
        symbol<decltype(f.exitInitializationMode)>(f.handle, "fmi2ExitInitializationMode");
    f.setReal = symbol<decltype(f.setReal)>(f.handle, "fmi2SetReal");
    f.getReal = symbol<decltype(f.getReal)>(f.handle, "fmi2GetReal");
    f.doStep = symbol<decltype(f.doStep)>(f.handle, "fmi2DoStep");
    f.terminate = symbol<decltype(f.terminate)>(f.handle, "fmi2Terminate");
    f.freeInstance = symbol<decltype(f.freeInstance)>(f.handle, "fmi2FreeInstance");
    f.getVersion = symbol<decltype(f.getVersion)>(f.handle, "fmi2GetVersion");
    return f;
}

const Fmu& fmu() {
    static const Fmu loaded = loadFmu(KVFMU_SHARED_LIBRARY);
    return loaded;
}
