// File paths and the few file system questions the provider asks, without std::filesystem:
// on Windows, std::filesystem links in the C++ runtime's locale and stream machinery, which
// would make the provider that every FMU carries several times larger. A path keeps the
// system's own text (UTF-8 bytes on Linux, UTF-16 on Windows); texts given and taken as
// std::string are UTF-8.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

class FilePath {
public:
#ifdef _WIN32
    using Native = std::wstring;
#else
    using Native = std::string;
#endif

    FilePath() = default;
    FilePath(const char* utf8) : FilePath(std::string(utf8)) {}
    FilePath(const std::string& utf8);
    // For callers that work with std::filesystem (kvfmu-run, tests); the provider does not.
    FilePath(const std::filesystem::path& path) : native_(path.native()) {}
    static FilePath fromNative(Native text);

    const Native& native() const { return native_; }
    const Native::value_type* c_str() const { return native_.c_str(); }
    bool empty() const { return native_.empty(); }
    std::filesystem::path standard() const { return std::filesystem::path(native_); }

    // UTF-8, for messages and for Java.
    std::string text() const;

    // The path with the name appended after a separator.
    FilePath operator/(const FilePath& name) const;
    // The path without its last name: "/a/b" -> "/a", "/a" -> "/", "a" -> "".
    FilePath parent() const;
    // The last name: "/a/b.jar" -> "b.jar".
    FilePath fileName() const;
    // "." and ".." resolved and separators made single (and '\' on Windows), as text alone.
    FilePath normal() const;

    friend bool operator==(const FilePath& a, const FilePath& b) { return a.native_ == b.native_; }
    friend bool operator!=(const FilePath& a, const FilePath& b) { return a.native_ != b.native_; }
    friend bool operator<(const FilePath& a, const FilePath& b) { return a.native_ < b.native_; }

private:
    Native native_;
};

// A path as UTF-8 text for messages.
inline std::string pathText(const FilePath& path) { return path.text(); }

bool isDirectory(const FilePath& path);
bool isRegularFile(const FilePath& path);
// Both name one file (links followed); false when either does not exist.
bool sameFile(const FilePath& a, const FilePath& b);
// The entries of a folder, sorted by name, without "." and ".."; none when it cannot be read.
std::vector<FilePath> folderEntries(const FilePath& folder);
// The first bytes of the file, up to the count (all of it when count is 0); false when it
// cannot be read.
// The file opened for reading as bytes; null when it cannot be.
std::FILE* openForReading(const FilePath& file);
bool readFileBytes(const FilePath& file, std::string& bytes, size_t count = 0);
// An absolute path (against the working folder), normal.
FilePath absolutePath(const FilePath& path);
