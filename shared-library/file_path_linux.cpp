#include "file_path.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

FilePath::FilePath(const std::string& utf8) : native_(utf8) {}

std::string FilePath::text() const { return native_; }

namespace {

bool status(const FilePath& path, struct stat& info) { return stat(path.c_str(), &info) == 0; }

}  // namespace

bool isDirectory(const FilePath& path) {
    struct stat info {};
    return status(path, info) && S_ISDIR(info.st_mode);
}

bool isRegularFile(const FilePath& path) {
    struct stat info {};
    return status(path, info) && S_ISREG(info.st_mode);
}

bool sameFile(const FilePath& a, const FilePath& b) {
    struct stat first {};
    struct stat second {};
    return status(a, first) && status(b, second) && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

std::vector<FilePath> folderEntries(const FilePath& folder) {
    std::vector<FilePath> entries;
    DIR* listing = opendir(folder.c_str());
    if (!listing) return entries;
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") entries.push_back(folder / FilePath::fromNative(name));
    }
    closedir(listing);
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::FILE* openForReading(const FilePath& file) { return std::fopen(file.c_str(), "rb"); }

FilePath absolutePath(const FilePath& path) {
    if (!path.empty() && path.native()[0] == '/') return path.normal();
    std::string folder(4096, '\0');
    if (!getcwd(folder.data(), folder.size())) return path.normal();
    folder.resize(folder.find('\0'));
    return (FilePath::fromNative(folder) / path).normal();
}
