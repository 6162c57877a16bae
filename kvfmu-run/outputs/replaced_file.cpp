#include "replaced_file.h"

#include "exit_codes.h"
#include "temporary_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The permissions a new file gets from the process's umask (read once, before threads
// that create files run).
mode_t newFileMode() {
    static const mode_t mode = [] {
        const mode_t mask = umask(0);
        umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

}  // namespace

void createParentFolders(const fs::path& file, const std::string& what) {
    const fs::path parent = file.parent_path();
    if (parent.empty()) return;
    std::error_code error;
    fs::create_directories(parent, error);
    if (error || !fs::is_directory(parent)) {
        throw RunError(ExitCode::outputNotWritable,
                       file.string() + ": cannot write the " + what + ": cannot create the folder " +
                           parent.string() + (error ? ": " + error.message() : std::string()));
    }
}

ReplacedFile::ReplacedFile(const fs::path& target) : target_(target) {
    createParentFolders(target, "output file");
    std::error_code error;
    if (fs::is_directory(target, error)) {
        throw RunError(ExitCode::outputNotWritable,
                       target.string() + ": cannot write the file: it is a folder");
    }
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    descriptor_ = mkstemp(name.data());
    if (descriptor_ < 0) {
        throw RunError(ExitCode::outputNotWritable,
                       target.string() + ": cannot write the file: " + std::strerror(errno));
    }
    partial_ = name.data();
    registerTemporaryPath(partial_);
    struct stat existing {};
    const mode_t mode =
        stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : newFileMode();
    fchmod(descriptor_, mode);
}

ReplacedFile::~ReplacedFile() {
    if (descriptor_ >= 0) close(descriptor_);
    if (!committed_) std::remove(partial_.c_str());
    releaseTemporaryPath(partial_);
}

int ReplacedFile::takeDescriptor() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return descriptor;
}

void ReplacedFile::commit() {
    if (committed_) return;
    if (std::rename(partial_.c_str(), target_.c_str()) != 0) {
        throw RunError(ExitCode::outputNotWritable, target_.string() + ": cannot write the file: " +
                                                        std::strerror(errno));
    }
    committed_ = true;
    releaseTemporaryPath(partial_);
}
