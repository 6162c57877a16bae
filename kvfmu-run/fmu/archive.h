// Unpacking an .fmu (a zip archive) into a folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// Extracts every entry of the archive under `destination`. Throws RunError: fmuMissing when
// the file cannot be read, notZip when it is no zip archive, corruptArchive when an entry
// is damaged, its name would lead outside `destination`, repeats, or names a file that is
// also a folder, or when the entries add up to more than `maxUnpackedBytes` (declared or
// read: nothing beyond the limit is written).
void extractArchive(const std::filesystem::path& archive, const std::filesystem::path& destination,
                    std::uint64_t maxUnpackedBytes = 2ull << 30);

// Whether an entry name stays inside the folder it is extracted to: relative, with no
// ".." part and no backslash.
bool isSafeEntryName(const std::string& name);
