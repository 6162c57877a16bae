// The provider's path texts, on each system with its own separators and roots: the parts
// of a path, its normal form, joining, and UTF-8 texts that are not ASCII.
#include "file_path.h"

#include <gtest/gtest.h>

namespace {

struct PathCase {
    const char* path;
    const char* parent;
    const char* fileName;
    const char* normal;
};

#ifdef _WIN32
const PathCase pathCases[] = {
    {"C:\\a\\b", "C:\\a", "b", "C:\\a\\b"},
    {"C:\\a", "C:\\", "a", "C:\\a"},
    {"C:\\", "C:\\", "", "C:\\"},
    {"C:a", "C:", "a", "C:a"},
    {"C:/a//b/", "C:/a", "b", "C:\\a\\b"},
    {"\\\\server\\share\\x", "\\\\server\\share\\", "x", "\\\\server\\share\\x"},
    {"C:\\a\\.\\b\\..\\c", "C:\\a\\.\\b\\..", "c", "C:\\a\\c"},
    {"C:\\a\\..\\..", "C:\\a\\..", "..", "C:\\"},
    {"a\\..\\..\\b", "a\\..\\..", "b", "..\\b"},
};
const char* const joinCases[][3] = {
    {"C:\\a", "b", "C:\\a\\b"}, {"C:\\a\\", "b", "C:\\a\\b"}, {"", "b", "b"},
    {"C:\\a", "D:\\x", "D:\\x"}, {"C:\\a", "", "C:\\a"},
};
#else
const PathCase pathCases[] = {
    {"/a/b", "/a", "b", "/a/b"},
    {"/a", "/", "a", "/a"},
    {"/", "/", "", "/"},
    {"a", "", "a", "a"},
    {"/a//b/", "/a", "b", "/a/b"},
    {"/a/./b/../c", "/a/./b/..", "c", "/a/c"},
    {"/a/../..", "/a/..", "..", "/"},
    {"a/../../b", "a/../..", "b", "../b"},
    {"./", "", ".", "."},
};
const char* const joinCases[][3] = {
    {"/a", "b", "/a/b"}, {"/a/", "b", "/a/b"}, {"", "b", "b"}, {"/a", "/c", "/c"}, {"/a", "", "/a"},
};
#endif

TEST(FilePath, PartsAndNormalForm) {
    for (const PathCase& c : pathCases) {
        const FilePath path(c.path);
        EXPECT_EQ(path.parent().text(), c.parent) << c.path;
        EXPECT_EQ(path.fileName().text(), c.fileName) << c.path;
        EXPECT_EQ(path.normal().text(), c.normal) << c.path;
    }
}

TEST(FilePath, Joining) {
    for (const auto& c : joinCases)
        EXPECT_EQ((FilePath(c[0]) / FilePath(c[1])).text(), c[2]) << c[0] << " / " << c[1];
}

TEST(FilePath, TextsOutsideAsciiCrossUnchanged) {
    const std::string text = "\xC3\x9C" "bungen/\xC3\x96lpumpe \xE2\x82\xAC.jar";  // Übungen/Ölpumpe €.jar
    EXPECT_EQ(FilePath(text).text(), text);
    EXPECT_EQ(FilePath(text).fileName().text(), "\xC3\x96lpumpe \xE2\x82\xAC.jar");
}

}  // namespace
