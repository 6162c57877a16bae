// The temporary folder's removal from a signal handler: no memory allocated, nothing left.
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <new>

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

}  // namespace

// Counts the allocations made while `counting` is on.
void* operator new(std::size_t size) {
    if (counting) ++allocations;
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace {

TEST(TemporaryFolder, RemovalFromASignalHandlerAllocatesNothingAndLeavesNothing) {
    TemporaryFolder folder;
    const std::filesystem::path root = folder.path();
    std::filesystem::create_directories(root / "fmu/binaries/linux64");
    std::filesystem::create_directories(root / "fmu/resources/empty");
    for (int i = 0; i < 300; ++i) {  // more entries than one directory read returns
        std::ofstream(root / "fmu/resources" / ("file" + std::to_string(i) + ".jar")) << i;
    }
    std::ofstream(root / "fmu/binaries/linux64/libkvfmu.so") << "ELF";

    allocations = 0;
    counting = true;
    removeTemporaryFoldersFromSignal();
    counting = false;
    EXPECT_EQ(allocations, 0);
    EXPECT_FALSE(std::filesystem::exists(root));
}

TEST(TemporaryFolder, GoesWithTheObjectAndAtExit) {
    std::filesystem::path path;
    {
        TemporaryFolder folder;
        path = folder.path();
        std::ofstream(path / "file") << "x";
        EXPECT_TRUE(std::filesystem::is_directory(path));
    }
    EXPECT_FALSE(std::filesystem::exists(path));

    TemporaryFolder folder;
    std::filesystem::create_directories(folder.path() / "a/b");
    removeTemporaryFolders();
    EXPECT_FALSE(std::filesystem::exists(folder.path()));
}

}  // namespace
