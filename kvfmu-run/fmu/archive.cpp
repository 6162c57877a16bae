#include "archive.h"

#include "exit_codes.h"

#include <zip.h>

#include <array>
#include <fstream>
#include <map>
#include <set>
#include <memory>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct EntryCloser {
    void operator()(zip_file_t* entry) const { zip_fclose(entry); }
};
using ArchiveHandle = std::unique_ptr<zip_t, ArchiveCloser>;
using EntryHandle = std::unique_ptr<zip_file_t, EntryCloser>;

std::string libzipMessage(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

// A file that begins like a zip archive but that libzip cannot open is damaged (for
// example cut short), not something else.
bool startsLikeZip(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::array<char, 4> head{};
    in.read(head.data(), head.size());
    return in.gcount() == 4 && head[0] == 'P' && head[1] == 'K' && head[2] == 3 && head[3] == 4;
}

ArchiveHandle openArchive(const fs::path& archive) {
    std::error_code error;
    if (!fs::exists(archive, error)) {
        throw RunError(ExitCode::fmuMissing, archive.string() + ": no such file");
    }
    if (!fs::is_regular_file(archive, error)) {
        throw RunError(ExitCode::fmuMissing, archive.string() + ": not a regular file");
    }
    int code = 0;
    zip_t* handle = zip_open(archive.c_str(), ZIP_RDONLY, &code);
    if (handle) return ArchiveHandle(handle);
    const std::string prefix = archive.string() + ": ";
    switch (code) {
        case ZIP_ER_NOZIP:
            if (startsLikeZip(archive)) {
                throw RunError(
                    ExitCode::corruptArchive,
                    prefix + "damaged zip archive (its directory is missing; cut short?)");
            }
            throw RunError(ExitCode::notZip, prefix + "not a zip archive");
        case ZIP_ER_OPEN:
        case ZIP_ER_READ:
        case ZIP_ER_NOENT:
        case ZIP_ER_MEMORY:
            throw RunError(ExitCode::fmuMissing, prefix + "cannot read: " + libzipMessage(code));
        default:
            throw RunError(ExitCode::corruptArchive,
                           prefix + "damaged zip archive: " + libzipMessage(code));
    }
}

std::string sizeText(std::uint64_t bytes) {
    if (bytes % (1ull << 30) == 0) return std::to_string(bytes >> 30) + " GiB";
    if (bytes % (1ull << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
    return std::to_string(bytes) + " bytes";
}

[[noreturn]] void tooLarge(const std::string& archiveName, std::uint64_t limit) {
    throw RunError(ExitCode::corruptArchive,
                   archiveName + ": the archive unpacks to more than " + sizeText(limit) +
                       ", the most an FMU may unpack to");
}

// The entry name as a path inside the archive: "./a//b/" is "a/b".
std::string normalName(const std::string& name) {
    std::string normal = fs::path(name).lexically_normal().generic_string();
    while (!normal.empty() && normal.back() == '/') normal.pop_back();
    return normal;
}

// Refuses, before anything is written, entries whose names repeat, a name that would be a
// file and a folder, and declared sizes beyond the limit.
void checkEntries(zip_t* archive, const std::string& archiveName, std::uint64_t limit) {
    std::map<std::string, std::string> files;  // normal name -> entry name
    std::map<std::string, std::string> folders;
    std::set<std::string> entries;
    std::uint64_t declared = 0;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* rawName = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
        if (!rawName) continue;  // reported when extracting
        const std::string name = rawName;
        if (!isSafeEntryName(name)) {
            throw RunError(ExitCode::corruptArchive,
                           archiveName + ": entry name leads outside the archive: " + name);
        }
        const std::string normal = normalName(name);
        if (normal.empty() || normal == ".") continue;
        if (!entries.insert(normal + (name.back() == '/' ? "/" : "")).second) {
            throw RunError(ExitCode::corruptArchive,
                           archiveName + ": entry " + name + " appears twice");
        }
        if (name.back() == '/') {
            folders.emplace(normal, name);
        } else {
            files.emplace(normal, name);
            zip_stat_t stat;
            if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat) == 0 &&
                (stat.valid & ZIP_STAT_SIZE)) {
                declared += stat.size;
                if (declared > limit) tooLarge(archiveName, limit);
            }
        }
        for (fs::path parent = fs::path(normal).parent_path(); !parent.empty();
             parent = parent.parent_path()) {
            folders.emplace(parent.generic_string(), name);
        }
    }
    for (const auto& [normal, name] : files) {
        auto folder = folders.find(normal);
        if (folder != folders.end()) {
            throw RunError(ExitCode::corruptArchive, archiveName + ": entries " + name + " and " +
                                                         folder->second + ": " + normal +
                                                         " is a file and a folder");
        }
    }
}

void extractEntry(zip_t* archive, zip_uint64_t index, const std::string& name,
                  const fs::path& target, const std::string& archiveName,
                  std::uint64_t& unpacked, std::uint64_t limit) {
    const std::string where = archiveName + ": entry " + name + ": ";
    EntryHandle entry(zip_fopen_index(archive, index, 0));
    if (!entry) {
        throw RunError(ExitCode::corruptArchive, where + zip_strerror(archive));
    }
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    if (!out) throw RunError(ExitCode::internalError, "cannot write " + target.string());
    std::array<char, 64 * 1024> buffer;
    for (;;) {
        zip_int64_t count = zip_fread(entry.get(), buffer.data(), buffer.size());
        if (count < 0) {
            throw RunError(ExitCode::corruptArchive, where + zip_file_strerror(entry.get()));
        }
        if (count == 0) break;
        unpacked += static_cast<std::uint64_t>(count);
        if (unpacked > limit) tooLarge(archiveName, limit);
        out.write(buffer.data(), count);
    }
    out.close();
    if (!out) throw RunError(ExitCode::internalError, "cannot write " + target.string());
}

}  // namespace

bool isSafeEntryName(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.find('\\') != std::string::npos) return false;
    std::istringstream parts(name);
    for (std::string part; std::getline(parts, part, '/');) {
        if (part == "..") return false;
    }
    return true;
}

void extractArchive(const fs::path& archive, const fs::path& destination,
                    std::uint64_t maxUnpackedBytes) {
    ArchiveHandle handle = openArchive(archive);
    const std::string archiveName = archive.string();
    checkEntries(handle.get(), archiveName, maxUnpackedBytes);
    std::uint64_t unpacked = 0;
    zip_int64_t count = zip_get_num_entries(handle.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* rawName = zip_get_name(handle.get(), static_cast<zip_uint64_t>(i), 0);
        if (!rawName) {
            throw RunError(ExitCode::corruptArchive,
                           archiveName + ": unreadable entry name: " + zip_strerror(handle.get()));
        }
        const std::string name = rawName;
        if (!isSafeEntryName(name)) {
            throw RunError(ExitCode::corruptArchive,
                           archiveName + ": entry name leads outside the archive: " + name);
        }
        fs::path target = destination / name;
        if (name.back() == '/') {
            fs::create_directories(target);
            continue;
        }
        fs::create_directories(target.parent_path());
        extractEntry(handle.get(), static_cast<zip_uint64_t>(i), name, target, archiveName,
                     unpacked, maxUnpackedBytes);
    }
}
