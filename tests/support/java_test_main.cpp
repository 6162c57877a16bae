// Entry point of test programs that need the host's Java VM: creates it on the main thread
// with the facade jar of the program (KVFMU_TEST_CLASS_PATH), then runs the tests. Listing
// the tests needs no VM.
#include "java_host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

// Blank-separated VM options a program may be built with (KVFMU_TEST_JVM_EXTRA_OPTIONS).
#ifndef KVFMU_TEST_JVM_EXTRA_OPTIONS
#define KVFMU_TEST_JVM_EXTRA_OPTIONS ""
#endif

namespace {
std::vector<std::string> extraOptions() {
    std::vector<std::string> options;
    std::istringstream words(KVFMU_TEST_JVM_EXTRA_OPTIONS);
    for (std::string word; words >> word;) options.push_back(word);
    return options;
}
}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!::testing::GTEST_FLAG(list_tests) && !startJavaVm(extraOptions())) {
        std::fprintf(stderr, "cannot create the Java VM with class path %s\n",
                     KVFMU_TEST_CLASS_PATH);
        return 1;
    }
    return RUN_ALL_TESTS();
}
