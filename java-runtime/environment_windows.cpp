#include "environment.h"

#include <windows.h>

#include <string>

namespace {

std::wstring variable(const wchar_t* name) {
    std::wstring value(256, L'\0');
    for (;;) {
        const DWORD length =
            GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) return {};
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);
    }
}

std::wstring wide(const char* text) {
    std::wstring result;
    for (; *text; ++text) result.push_back(static_cast<wchar_t>(*text));  // ASCII names only
    return result;
}

}  // namespace

std::optional<FilePath> environmentPath(const char* name) {
    const std::wstring value = variable(wide(name).c_str());
    if (value.empty()) return std::nullopt;
    return FilePath::fromNative(value);
}

std::vector<FilePath> searchPath() {
    std::vector<FilePath> folders;
    const std::wstring value = variable(L"PATH");
    size_t begin = 0;
    while (begin <= value.size()) {
        size_t end = value.find(L';', begin);
        if (end == std::wstring::npos) end = value.size();
        std::wstring entry = value.substr(begin, end - begin);
        if (entry.size() >= 2 && entry.front() == L'"' && entry.back() == L'"')
            entry = entry.substr(1, entry.size() - 2);
        if (!entry.empty()) folders.push_back(FilePath::fromNative(entry));
        begin = end + 1;
    }
    return folders;
}

const char* javaLauncherName() { return "java.exe"; }

FilePath resolveLinks(const FilePath& file) {
    // The installers' shared java.exe is a link to the runtime's own.
    HANDLE handle = CreateFileW(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return file;
    std::wstring target(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handle, target.data(), static_cast<DWORD>(target.size()),
                                             FILE_NAME_NORMALIZED);
    if (length >= target.size()) {
        target.resize(length + 1);
        length = GetFinalPathNameByHandleW(handle, target.data(),
                                           static_cast<DWORD>(target.size()), FILE_NAME_NORMALIZED);
    }
    CloseHandle(handle);
    if (length == 0 || length >= target.size()) return file;
    target.resize(length);
    // \\?\C:\... and \\?\UNC\server\share\...
    if (target.rfind(L"\\\\?\\UNC\\", 0) == 0) return FilePath::fromNative(L"\\\\" + target.substr(8));
    if (target.rfind(L"\\\\?\\", 0) == 0) return FilePath::fromNative(target.substr(4));
    return FilePath::fromNative(target);
}
