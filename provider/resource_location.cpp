#include "resource_location.h"

#include <cctype>
#include <string>

namespace {

bool startsWithIgnoringCase(const std::string& text, const char* prefix) {
    for (size_t i = 0; prefix[i]; ++i) {
        if (i >= text.size() ||
            std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    }
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool percentDecoded(const std::string& text, std::string& decoded) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? hexDigit(text[i + 1]) : -1;
        const int low = high < 0 ? -1 : hexDigit(text[i + 2]);
        if (low < 0) return false;
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

// "/C:/x" or "/C|/x" (and "C:" alone) as a drive path.
bool drivePath(const std::string& path) {
    const size_t letter = path.rfind('/', 0) == 0 ? 1 : 0;
    return path.size() >= letter + 2 && std::isalpha(static_cast<unsigned char>(path[letter])) &&
           (path[letter + 1] == ':' || path[letter + 1] == '|') &&
           (path.size() == letter + 2 || path[letter + 2] == '/');
}

}  // namespace

std::optional<FilePath> resourceFolderOf(const char* location) {
    if (!location) return std::nullopt;
    const std::string uri = location;
    if (!startsWithIgnoringCase(uri, "file:")) return std::nullopt;
    std::string rest = uri.substr(5);
    if (rest.rfind("//", 0) == 0) {
        const size_t slash = rest.find('/', 2);
        const std::string host = rest.substr(2, slash == std::string::npos ? slash : slash - 2);
        rest = slash == std::string::npos ? "" : rest.substr(slash);
        if (drivePath(host))
            rest = "/" + host + rest;  // file://C:/x
        else if (!host.empty() && !(host.size() == 9 && startsWithIgnoringCase(host, "localhost")))
            return std::nullopt;
    }
    std::string path;
    if (rest.rfind('/', 0) != 0 || !percentDecoded(rest, path)) return std::nullopt;
    if (drivePath(path)) path = path.substr(1, 1) + ":" + path.substr(3);
    return FilePath(path).normal();
}
