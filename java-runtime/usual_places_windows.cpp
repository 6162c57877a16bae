// Windows' usual places: the runtimes the installers register, then the installers' folders
// under Program Files.
#include "environment.h"
#include "java_runtime.h"

#include <windows.h>

#include <string>

namespace {

constexpr REGSAM readOnly = KEY_READ | KEY_WOW64_64KEY;

std::wstring textValue(HKEY key, const wchar_t* subkey, const wchar_t* name) {
    DWORD size = 0;
    if (RegGetValueW(key, subkey, name, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS ||
        size < sizeof(wchar_t))
        return {};
    std::wstring value(size / sizeof(wchar_t), L'\0');
    if (RegGetValueW(key, subkey, name, RRF_RT_REG_SZ, nullptr, value.data(), &size) != ERROR_SUCCESS)
        return {};
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
}

std::vector<std::wstring> subkeys(HKEY key) {
    std::vector<std::wstring> names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

// For each subkey S of the key: the value at S\relative (the current version first, where
// the key names one).
void registeredHomes(const wchar_t* keyName, const wchar_t* relative, const wchar_t* value,
                     std::vector<FilePath>& homes) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyName, 0, readOnly, &key) != ERROR_SUCCESS) return;
    std::vector<std::wstring> versions = subkeys(key);
    const std::wstring current = textValue(key, nullptr, L"CurrentVersion");
    if (!current.empty()) versions.insert(versions.begin(), current);
    for (const std::wstring& version : versions) {
        const std::wstring subkey = relative[0] ? version + L"\\" + relative : version;
        const std::wstring home = textValue(key, subkey.c_str(), value);
        if (!home.empty()) homes.push_back(FilePath::fromNative(home));
    }
    RegCloseKey(key);
}

}  // namespace

UsualPlaces usualJavaPlaces() {
    UsualPlaces places;
    registeredHomes(L"SOFTWARE\\JavaSoft\\JDK", L"", L"JavaHome", places.homes);
    registeredHomes(L"SOFTWARE\\JavaSoft\\JRE", L"", L"JavaHome", places.homes);
    for (const wchar_t* vendor : {L"SOFTWARE\\Eclipse Adoptium", L"SOFTWARE\\Eclipse Foundation",
                                  L"SOFTWARE\\Microsoft"}) {
        for (const wchar_t* kind : {L"\\JDK", L"\\JRE"}) {
            registeredHomes((std::wstring(vendor) + kind).c_str(), L"hotspot\\MSI", L"Path",
                            places.homes);
        }
    }
    registeredHomes(L"SOFTWARE\\Azul Systems\\Zulu", L"", L"InstallationPath", places.homes);

    const FilePath programFiles = environmentPath("ProgramW6432")
                                      .value_or(environmentPath("ProgramFiles")
                                                    .value_or(FilePath("C:\\Program Files")));
    for (const wchar_t* vendor : {L"Java", L"Eclipse Adoptium", L"Eclipse Foundation",
                                  L"AdoptOpenJDK", L"Microsoft", L"Zulu", L"Amazon Corretto",
                                  L"BellSoft", L"Semeru", L"OpenJDK", L"RedHat"}) {
        places.parents.push_back(programFiles / FilePath::fromNative(vendor));
    }
    return places;
}
