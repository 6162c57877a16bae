#include "temporary_folder.h"

#include "exit_codes.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Paths to remove, in fixed slots that a signal handler can read without a lock: a slot is
// claimed (busy), filled, then published (live); the handler uses live slots only.
enum SlotState : int { freeSlot, busySlot, liveSlot };
struct Slot {
    std::atomic<int> state{freeSlot};
    char path[PATH_MAX];
};
constexpr int slotCount = 16;
Slot slots[slotCount];
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler reads the slots");

std::atomic<void (*)()> finalWords{nullptr};

void removeQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

// Removes everything inside the open folder, then closes it. `depth` bounds the recursion
// (an unpacked FMU is a few levels deep).
void emptyFolder(int folder, int depth) {
    alignas(8) char buffer[4096];
    // Entries removed while reading may shift the rest: read again until a pass removes
    // nothing more (what cannot be removed stays).
    for (int pass = 0; pass < 64; ++pass) {
        bool removed = false;
        lseek(folder, 0, SEEK_SET);
        for (ssize_t count; (count = getdents64(folder, buffer, sizeof buffer)) > 0;) {
            for (ssize_t offset = 0; offset < count;) {
                const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
                offset += entry->d_reclen;
                const char* name = entry->d_name;
                if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
                if (unlinkat(folder, name, 0) == 0) {
                    removed = true;
                    continue;
                }
                if (depth <= 0) continue;
                const int child =
                    openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (child < 0) continue;
                emptyFolder(child, depth - 1);
                if (unlinkat(folder, name, AT_REMOVEDIR) == 0) removed = true;
            }
        }
        if (!removed) break;
    }
    close(folder);
}

// Removes the folder tree at `path` (or the file) with async-signal-safe calls only.
void removeTreeSignalSafe(const char* path) {
    if (unlink(path) == 0) return;
    const int folder = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder >= 0) emptyFolder(folder, 16);
    rmdir(path);
}

}  // namespace

bool registerTemporaryPath(const fs::path& path) {
    const std::string text = path.string();
    if (text.size() >= PATH_MAX) return false;
    for (Slot& slot : slots) {
        int expected = freeSlot;
        if (!slot.state.compare_exchange_strong(expected, busySlot)) continue;
        std::memcpy(slot.path, text.c_str(), text.size() + 1);
        slot.state.store(liveSlot);
        return true;
    }
    return false;
}

void releaseTemporaryPath(const fs::path& path) {
    const std::string text = path.string();
    for (Slot& slot : slots) {
        int expected = liveSlot;
        if (slot.state.load() != liveSlot || text != slot.path) continue;
        if (slot.state.compare_exchange_strong(expected, busySlot)) slot.state.store(freeSlot);
    }
}

void setFinalWords(void (*words)()) {
    finalWords.store(words);
}

void removeTemporaryFolders() {
    if (void (*words)() = finalWords.exchange(nullptr)) words();
    for (Slot& slot : slots) {
        int expected = liveSlot;
        if (!slot.state.compare_exchange_strong(expected, busySlot)) continue;
        removeQuietly(slot.path);
        slot.state.store(freeSlot);
    }
}

void removeTemporaryFoldersFromSignal() {
    for (Slot& slot : slots) {
        if (slot.state.load() == liveSlot) removeTreeSignalSafe(slot.path);
    }
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
    if (!registerTemporaryPath(path_)) {
        removeQuietly(path_);
        throw RunError(ExitCode::internalError,
                       "the temporary folder's path is too long: " + path_.string());
    }
}

TemporaryFolder::~TemporaryFolder() {
    removeQuietly(path_);
    releaseTemporaryPath(path_);
}
