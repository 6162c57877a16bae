// Entry point of test programs that need the host's Java VM: creates it on the main thread
// with the facade jar of the program (KVFMU_TEST_CLASS_PATH), then runs the tests. Listing
// the tests needs no VM.
#include "java_host.h"

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!::testing::GTEST_FLAG(list_tests) && !startJavaVm()) {
        std::fprintf(stderr, "cannot create the Java VM with class path %s\n",
                     KVFMU_TEST_CLASS_PATH);
        return 1;
    }
    return RUN_ALL_TESTS();
}
