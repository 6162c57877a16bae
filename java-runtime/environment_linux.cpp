#include "environment.h"

#include "text_parts.h"

#include <cstdlib>
#include <string>

std::optional<FilePath> environmentPath(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return FilePath(value);
}

std::vector<FilePath> searchPath() {
    std::vector<FilePath> folders;
    const char* value = std::getenv("PATH");
    for (const std::string& entry : textParts(value ? value : "", ':'))
        folders.emplace_back(entry.empty() ? "." : entry);  // an empty entry is the current folder
    return folders;
}

const char* javaLauncherName() { return "java"; }

FilePath resolveLinks(const FilePath& file) {
    char* resolved = realpath(file.c_str(), nullptr);
    if (!resolved) return file;
    const FilePath path = FilePath::fromNative(resolved);
    std::free(resolved);
    return path;
}
