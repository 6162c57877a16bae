#include "library_functions.h"

#include "dynamic_library.h"
#include "java_runtime.h"

namespace {
#ifdef _WIN32
const char* const libraryName = "libkvfmu.dll";
#else
const char* const libraryName = "libkvfmu.so";
#endif
}  // namespace

bool loadLibraryFunctions(const FilePath& folder, LibraryFunctions& functions,
                          std::string& failure) {
    // Another FMU's library serves this one too: instances then share one set of server keys.
    LibraryHandle library = loadedLibrary(libraryName, false);
    const FilePath file = folder / libraryName;
    if (!library) {
        std::string error;
        library = loadLibraryForGood(file, false, error);
        if (!library) {
            failure = "cannot load the FMU's library " + pathText(file) + ": " + error;
            return false;
        }
    }
    functions = lookUpFmi2Functions(library, librarySymbol);
    const std::string missing = missingFmi2Functions(functions);
    if (!missing.empty()) {
        failure = "the FMU's library " + pathText(file) + " lacks " + missing;
        return false;
    }
    return true;
}
