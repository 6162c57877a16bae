// Shared libraries on Linux (dlopen) and Windows (LoadLibrary): loaded as a host loads an
// FMU's binary, loaded for good, or found among those the process has loaded already. What
// is loaded for good is never unloaded: a Java VM cannot be unloaded, and neither can code
// that its threads may still run.
#pragma once

#include "file_path.h"

#include <string>

using LibraryHandle = void*;

// Loads the library at the path as a host loads an FMU's binary: its symbols kept to itself,
// unloaded again by unloadLibrary. Null on failure, with error set.
LibraryHandle loadLibrary(const FilePath& file, std::string& error);

// False when the system refuses to unload it.
bool unloadLibrary(LibraryHandle library);

// Loads the library at the path and pins it. With shareSymbols (Linux), its symbols serve
// libraries loaded after it, as the Java VM's must. Null on failure, with error set.
LibraryHandle loadLibraryForGood(const FilePath& file, bool shareSymbols,
                                 std::string& error);

// The library of that name (Linux: its soname, e.g. "libjvm.so"; Windows: its module name,
// e.g. "jvm.dll") if the process has loaded it already, pinned; else null. With shareSymbols
// (Linux) a library the host loaded privately lends its symbols to libraries loaded later.
LibraryHandle loadedLibrary(const char* name, bool shareSymbols);

void* librarySymbol(LibraryHandle library, const char* name);

// Keeps the library that holds the address loaded until the process ends.
void pinLibraryOf(const void* address);

// The file of the library (or program) that holds the address, as an absolute path; empty
// when the system cannot tell.
FilePath libraryFileOf(const void* address);
