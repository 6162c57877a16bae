#include "loaded_library.h"

LoadedFmu openFmu(const char* path) {
    LoadedFmu fmu;
    fmu.handle = loadLibrary(path, fmu.error);
    if (!fmu.handle) return fmu;
    static_cast<Fmi2FunctionTable&>(fmu) = lookUpFmi2Functions(fmu.handle, librarySymbol);
    return fmu;
}

const LoadedFmu& loadedFmu(const char* path) {
    static const LoadedFmu loaded = openFmu(path);
    return loaded;
}
