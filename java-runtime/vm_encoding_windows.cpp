#include "vm_encoding.h"

#include "java_runtime.h"

#include <windows.h>

namespace {

bool ascii(const std::wstring& text) {
    for (const wchar_t c : text)
        if (c >= 0x80) return false;
    return true;
}

std::string narrowAscii(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The text in the ANSI code page, when it can hold every character.
bool inAnsiCodePage(const std::wstring& text, std::string& bytes) {
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(),
                                           static_cast<int>(text.size()), nullptr, 0, nullptr, &lossy);
    if (length <= 0 || lossy) return false;
    bytes.assign(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), static_cast<int>(text.size()),
                        bytes.data(), length, nullptr, &lossy);
    return !lossy;
}

std::wstring shortName(const std::wstring& path) {
    const DWORD length = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (length == 0) return {};
    std::wstring name(length, L'\0');
    const DWORD written = GetShortPathNameW(path.c_str(), name.data(), length);
    if (written == 0 || written >= length) return {};
    name.resize(written);
    return name;
}

}  // namespace

bool prepareVmEncoding(const std::vector<FilePath>& jars, std::vector<std::string>& entries,
                       std::string& failure) {
    entries.clear();
    const UINT codePage = GetACP();
    for (const FilePath& jar : jars) {
        const std::wstring& text = jar.native();
        std::string bytes;
        if (ascii(text)) {
            entries.push_back(narrowAscii(text));
        } else if (codePage == CP_UTF8) {
            entries.push_back(pathText(jar));
        } else if (inAnsiCodePage(text, bytes)) {
            entries.push_back(bytes);
        } else if (const std::wstring name = shortName(text); !name.empty() && ascii(name)) {
            entries.push_back(narrowAscii(name));
        } else {
            failure = "the Java VM reads its class path in the ANSI code page " +
                      std::to_string(codePage) + " of this system, which cannot hold " +
                      pathText(jar) + ", and the file has no short 8.3 name: keep the FMU in a "
                      "folder whose path is ASCII, or turn on Windows' UTF-8 setting for "
                      "programs that are not Unicode";
            return false;
        }
    }
    return true;
}

void endVmEncoding() {}
