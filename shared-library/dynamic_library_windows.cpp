#include "dynamic_library.h"

#include <windows.h>

#include <cstdio>

namespace {

// The system's text in the user's language, as UTF-8: the ANSI code page may lack its
// characters.
std::string systemErrorText(DWORD code) {
    wchar_t text[512] = {};
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                       0, text, sizeof text / sizeof text[0], nullptr);
    std::string message;
    if (length > 0) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                             nullptr, nullptr);
        message.assign(static_cast<size_t>(size > 0 ? size : 0), '\0');
        if (size > 0)
            WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), message.data(), size,
                                nullptr, nullptr);
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    char number[32];
    std::snprintf(number, sizeof number, "error %lu", static_cast<unsigned long>(code));
    return message.empty() ? number : message + " (" + number + ")";
}

void pin(const wchar_t* nameOrAddress, DWORD flags) {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | flags, nameOrAddress, &module);
}

}  // namespace

LibraryHandle loadLibrary(const FilePath& file, std::string& error) {
    HMODULE module = LoadLibraryW(file.c_str());
    if (!module) error = systemErrorText(GetLastError());
    return reinterpret_cast<LibraryHandle>(module);
}

bool unloadLibrary(LibraryHandle library) {
    return FreeLibrary(static_cast<HMODULE>(library)) != 0;
}

LibraryHandle loadLibraryForGood(const FilePath& file, bool, std::string& error) {
    // The library's own folder is searched for its dependencies.
    HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) {
        error = systemErrorText(GetLastError());
        return nullptr;
    }
    pin(file.c_str(), 0);
    return reinterpret_cast<LibraryHandle>(module);
}

LibraryHandle loadedLibrary(const char* name, bool) {
    HMODULE module = GetModuleHandleA(name);
    if (module) {
        HMODULE pinned = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN, name, &pinned);
    }
    return reinterpret_cast<LibraryHandle>(module);
}

void* librarySymbol(LibraryHandle library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void pinLibraryOf(const void* address) {
    pin(static_cast<const wchar_t*>(address), GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS);
}

FilePath libraryFileOf(const void* address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<const wchar_t*>(address), &module))
        return {};
    std::wstring file(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, file.data(), static_cast<DWORD>(file.size()));
        if (length == 0) return {};
        if (length < file.size()) {
            file.resize(length);
            return FilePath::fromNative(file);
        }
        file.resize(file.size() * 2);
    }
}
