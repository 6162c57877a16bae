#include "temporary_folder.h"

#include "exit_codes.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Folders still present, for the exit handler: exit() skips the destructors of locals.
std::mutex liveFoldersMutex;
std::set<std::string>& liveFolders() {
    static auto* folders = new std::set<std::string>;  // outlives static destruction
    return *folders;
}

void removeQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

}  // namespace

void removeTemporaryFolders() {
    std::lock_guard<std::mutex> lock(liveFoldersMutex);
    for (const auto& folder : liveFolders()) removeQuietly(folder);
    liveFolders().clear();
}

void removeTemporaryFoldersFromSignal() {
    std::unique_lock<std::mutex> lock(liveFoldersMutex, std::try_to_lock);
    if (!lock) return;
    for (const auto& folder : liveFolders()) removeQuietly(folder);
}

TemporaryFolder::TemporaryFolder() {
    static const bool exitHandlerRegistered = std::atexit(removeTemporaryFolders) == 0;
    (void)exitHandlerRegistered;

    std::error_code error;
    fs::path base = fs::temp_directory_path(error);
    if (error) base = "/tmp";
    std::string pattern = (base / "kvfmu-run.XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) {
        throw RunError(ExitCode::internalError, "cannot create a temporary folder in " +
                                                    base.string() + ": " + std::strerror(errno));
    }
    path_ = buffer.data();
    std::lock_guard<std::mutex> lock(liveFoldersMutex);
    liveFolders().insert(path_.string());
}

TemporaryFolder::~TemporaryFolder() {
    removeQuietly(path_);
    std::lock_guard<std::mutex> lock(liveFoldersMutex);
    liveFolders().erase(path_.string());
}
