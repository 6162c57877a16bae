#include "dynamic_library.h"

#include <dlfcn.h>

namespace {

LibraryHandle openLibrary(const FilePath& file, int flags, std::string& error) {
    dlerror();
    void* handle = dlopen(file.c_str(), flags);
    if (!handle) {
        const char* reason = dlerror();
        error = reason ? reason : "unknown reason";
    }
    return handle;
}

}  // namespace

LibraryHandle loadLibrary(const FilePath& file, std::string& error) {
    return openLibrary(file, RTLD_NOW | RTLD_LOCAL, error);
}

bool unloadLibrary(LibraryHandle library) { return dlclose(library) == 0; }

LibraryHandle loadLibraryForGood(const FilePath& file, bool shareSymbols, std::string& error) {
    return openLibrary(file, RTLD_NOW | RTLD_NODELETE | (shareSymbols ? RTLD_GLOBAL : RTLD_LOCAL),
                       error);
}

LibraryHandle loadedLibrary(const char* name, bool shareSymbols) {
    // A name without a slash matches a loaded library by its soname.
    return dlopen(name,
                  RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE | (shareSymbols ? RTLD_GLOBAL : RTLD_LOCAL));
}

void* librarySymbol(LibraryHandle library, const char* name) { return dlsym(library, name); }

void pinLibraryOf(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) && info.dli_fname)
        dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

FilePath libraryFileOf(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname) return {};
    return absolutePath(info.dli_fname);
}
