// The process environment as paths, and the program search path.
#pragma once

#include "file_path.h"

#include <optional>
#include <vector>

// The variable's value; nothing when it is unset or empty.
std::optional<FilePath> environmentPath(const char* name);

// The folders of PATH, in order.
std::vector<FilePath> searchPath();

// The file name of the java launcher: "java", or "java.exe" on Windows.
const char* javaLauncherName();

// The file with its links resolved; the file itself when that fails.
FilePath resolveLinks(const FilePath& file);
