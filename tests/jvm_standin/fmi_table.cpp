#include "fmi_table.h"

#if defined(KVFMU_STANDIN_SHARED_LIBRARY)
#include <dlfcn.h>

#include <cstdio>
#endif

const FmiFunctions& fmi() {
    static const FmiFunctions functions = [] {
        FmiFunctions f{};
#if defined(KVFMU_STANDIN_SHARED_LIBRARY)
        // As a host loads it: after the VM library (here the stand-in) is in the process.
        void* library = dlopen(KVFMU_STANDIN_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            std::fprintf(stderr, "%s\n", dlerror());
            return f;
        }
#define KVFMU_STANDIN_FMI_LOOKUP(name) \
    f.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name));
        KVFMU_STANDIN_FMI_FUNCTIONS(KVFMU_STANDIN_FMI_LOOKUP)
#undef KVFMU_STANDIN_FMI_LOOKUP
#else
#define KVFMU_STANDIN_FMI_LINKED(name) f.name = &::name;
        KVFMU_STANDIN_FMI_FUNCTIONS(KVFMU_STANDIN_FMI_LINKED)
#undef KVFMU_STANDIN_FMI_LINKED
#endif
        return f;
    }();
    return functions;
}
