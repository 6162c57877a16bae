#include "fmi_table.h"

#if defined(KVFMU_STANDIN_SHARED_LIBRARY)
#include "dynamic_library.h"

#include <cstdio>
#include <string>
#endif

const Fmi2FunctionTable& fmi() {
#if defined(KVFMU_STANDIN_SHARED_LIBRARY)
    static const Fmi2FunctionTable functions = [] {
        // As a host loads it: after the VM library (here the stand-in) is in the process.
        std::string error;
        LibraryHandle library = loadLibrary(KVFMU_STANDIN_SHARED_LIBRARY, error);
        if (!library) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return Fmi2FunctionTable{};
        }
        return lookUpFmi2Functions(library, librarySymbol);
    }();
#else
    static const Fmi2FunctionTable functions = linkedFmi2Functions();
#endif
    return functions;
}
