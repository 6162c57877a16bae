// Unpacking an .fmu (a zip archive) into a folder.
#pragma once

#include <filesystem>
#include <string>

// Extracts every entry of the archive under `destination`. Throws RunError: fmuMissing when
// the file cannot be read, notZip when it is no zip archive, corruptArchive when an entry
// is damaged or its name would lead outside `destination`.
void extractArchive(const std::filesystem::path& archive, const std::filesystem::path& destination);

// Whether an entry name stays inside the folder it is extracted to: relative, with no
// ".." part and no backslash.
bool isSafeEntryName(const std::string& name);
