#include "loaded_library.h"

#include <dlfcn.h>

namespace {

template <typename F>
void bind(void* handle, F& function, const char* name) {
    function = reinterpret_cast<F>(dlsym(handle, name));
}

}  // namespace

LoadedFmu openFmu(const char* path) {
    LoadedFmu f{};
    f.handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!f.handle) return f;
    bind(f.handle, f.instantiate, "fmi2Instantiate");
    bind(f.handle, f.setupExperiment, "fmi2SetupExperiment");
    bind(f.handle, f.enterInitializationMode, "fmi2EnterInitializationMode");
    bind(f.handle, f.exitInitializationMode, "fmi2ExitInitializationMode");
    bind(f.handle, f.setReal, "fmi2SetReal");
    bind(f.handle, f.getReal, "fmi2GetReal");
    bind(f.handle, f.doStep, "fmi2DoStep");
    bind(f.handle, f.terminate, "fmi2Terminate");
    bind(f.handle, f.reset, "fmi2Reset");
    bind(f.handle, f.freeInstance, "fmi2FreeInstance");
    bind(f.handle, f.getVersion, "fmi2GetVersion");
    return f;
}

const LoadedFmu& loadedFmu(const char* path) {
    static const LoadedFmu loaded = openFmu(path);
    return loaded;
}
