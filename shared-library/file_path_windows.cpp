#include "file_path.h"

#include <windows.h>

#include <algorithm>

FilePath::FilePath(const std::string& utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                           nullptr, 0);
    if (length <= 0) return;
    native_.assign(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), native_.data(), length);
}

std::string FilePath::text() const {
    const int length = WideCharToMultiByte(CP_UTF8, 0, native_.data(), static_cast<int>(native_.size()),
                                           nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, native_.data(), static_cast<int>(native_.size()), utf8.data(),
                        length, nullptr, nullptr);
    return utf8;
}

namespace {

DWORD attributes(const FilePath& path) { return GetFileAttributesW(path.c_str()); }

bool fileIdentity(const FilePath& path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    return known;
}

}  // namespace

bool isDirectory(const FilePath& path) {
    const DWORD found = attributes(path);
    return found != INVALID_FILE_ATTRIBUTES && (found & FILE_ATTRIBUTE_DIRECTORY);
}

bool isRegularFile(const FilePath& path) {
    const DWORD found = attributes(path);
    return found != INVALID_FILE_ATTRIBUTES && !(found & FILE_ATTRIBUTE_DIRECTORY);
}

bool sameFile(const FilePath& a, const FilePath& b) {
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return fileIdentity(a, first) && fileIdentity(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

std::vector<FilePath> folderEntries(const FilePath& folder) {
    std::vector<FilePath> entries;
    WIN32_FIND_DATAW found{};
    HANDLE listing = FindFirstFileW((folder / FilePath::fromNative(L"*")).c_str(), &found);
    if (listing == INVALID_HANDLE_VALUE) return entries;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") entries.push_back(folder / FilePath::fromNative(name));
    } while (FindNextFileW(listing, &found));
    FindClose(listing);
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::FILE* openForReading(const FilePath& file) { return _wfopen(file.c_str(), L"rb"); }

FilePath absolutePath(const FilePath& path) {
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return path.normal();
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) return path.normal();
    full.resize(written);
    return FilePath::fromNative(full).normal();
}
