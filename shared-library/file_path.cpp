// The text operations on paths, alike on both systems but for the separators and roots.
#include "file_path.h"

#include <algorithm>

namespace {

using Native = FilePath::Native;
using Char = Native::value_type;

#ifdef _WIN32
constexpr Char separator = L'\\';
bool isSeparator(Char c) { return c == L'\\' || c == L'/'; }

// "C:\", "C:", "\\server\share\", "\" or nothing.
size_t rootLength(const Native& path) {
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        size_t at = 2;
        for (int names = 0; names < 2 && at < path.size(); ++names) {
            while (at < path.size() && !isSeparator(path[at])) ++at;
            if (at < path.size()) ++at;
        }
        return at;
    }
    if (path.size() >= 2 && path[1] == L':') return path.size() > 2 && isSeparator(path[2]) ? 3 : 2;
    return !path.empty() && isSeparator(path[0]) ? 1 : 0;
}
#else
constexpr Char separator = '/';
bool isSeparator(Char c) { return c == '/'; }
size_t rootLength(const Native& path) { return !path.empty() && path[0] == '/' ? 1 : 0; }
#endif

// Where the last name begins, after the root, and where it ends before trailing separators.
void lastName(const Native& path, size_t& begin, size_t& end) {
    const size_t root = rootLength(path);
    end = path.size();
    while (end > root && isSeparator(path[end - 1])) --end;
    begin = end;
    while (begin > root && !isSeparator(path[begin - 1])) --begin;
}

}  // namespace

FilePath FilePath::fromNative(Native text) {
    FilePath path;
    path.native_ = std::move(text);
    return path;
}

FilePath FilePath::operator/(const FilePath& name) const {
    if (name.empty()) return *this;
    if (empty() || rootLength(name.native_) > 0) return name;
    Native joined = native_;
    if (!isSeparator(joined.back())) joined += separator;
    return fromNative(joined + name.native_);
}

FilePath FilePath::parent() const {
    const size_t root = rootLength(native_);
    size_t begin = 0;
    size_t end = 0;
    lastName(native_, begin, end);
    while (begin > root && isSeparator(native_[begin - 1])) --begin;
    return fromNative(native_.substr(0, begin));
}

FilePath FilePath::fileName() const {
    size_t begin = 0;
    size_t end = 0;
    lastName(native_, begin, end);
    return fromNative(native_.substr(begin, end - begin));
}

FilePath FilePath::normal() const {
    const size_t root = rootLength(native_);
    Native result = native_.substr(0, root);
    std::replace_if(result.begin(), result.end(), isSeparator, separator);
    std::vector<Native> names;
    for (size_t at = root; at < native_.size();) {
        size_t end = at;
        while (end < native_.size() && !isSeparator(native_[end])) ++end;
        const Native name = native_.substr(at, end - at);
        const bool dot = name.size() == 1 && name[0] == Char('.');
        const bool dots = name.size() == 2 && name[0] == Char('.') && name[1] == Char('.');
        if (dots && !names.empty() && names.back() != name)
            names.pop_back();
        else if (dots && root == 0)
            names.push_back(name);  // a relative path may begin above its folder
        else if (!name.empty() && !dot && !dots)
            names.push_back(name);
        at = end + 1;
    }
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) result += separator;
        result += names[i];
    }
    if (result.empty() && !native_.empty()) result = Native(1, Char('.'));
    return fromNative(result);
}

bool readFileBytes(const FilePath& file, std::string& bytes, size_t count) {
    bytes.clear();
    std::FILE* stream = openForReading(file);
    if (!stream) return false;
    char buffer[4096];
    for (;;) {
        const size_t wanted = count == 0 ? sizeof buffer : std::min(sizeof buffer, count - bytes.size());
        const size_t got = wanted == 0 ? 0 : std::fread(buffer, 1, wanted, stream);
        if (got == 0) break;
        bytes.append(buffer, got);
    }
    const bool failed = std::ferror(stream) != 0;
    std::fclose(stream);
    return !failed;
}
