// Server keys of live instances, with no Java VM: the name itself while it is free, else
// the smallest free "#n" suffix; keys compare as the server will see them.
#include "server_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ServerKeys, TheNameOrTheSmallestFreeSuffix) {
    std::vector<std::string> taken;
    for (int i = 0; i < 3; ++i) taken.push_back(reserveServerKey("model"));
    EXPECT_EQ(taken, (std::vector<std::string>{"model", "model#2", "model#3"}));
    // A host's own name that looks like a key is a name like any other.
    EXPECT_EQ(reserveServerKey("model#2"), "model#2#2");
    EXPECT_EQ(reserveServerKey("other"), "other");

    releaseServerKey("model#2");
    EXPECT_EQ(reserveServerKey("model"), "model#2");
    releaseServerKey("model");
    releaseServerKey("model#3");
    EXPECT_EQ(reserveServerKey("model"), "model");
    EXPECT_EQ(reserveServerKey("model"), "model#3");

    for (const char* key : {"model", "model#2", "model#3", "model#2#2", "other"})
        releaseServerKey(key);
    EXPECT_EQ(reserveServerKey("model"), "model");
    releaseServerKey("model");
}

TEST(ServerKeys, NamesThatJavaSeesAsOneShareTheirKeys) {
    // Both names arrive in Java as "x" and U+FFFD.
    EXPECT_EQ(reserveServerKey("x\xFF"), "x\xEF\xBF\xBD");
    EXPECT_EQ(reserveServerKey("x\xFE"), "x\xEF\xBF\xBD#2");
    EXPECT_EQ(reserveServerKey("x\xEF\xBF\xBD"), "x\xEF\xBF\xBD#3");
    for (const char* key : {"x\xEF\xBF\xBD", "x\xEF\xBF\xBD#2", "x\xEF\xBF\xBD#3"})
        releaseServerKey(key);
}

}  // namespace
