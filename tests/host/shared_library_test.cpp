// A host that loads libkvfmu.so with dlopen into a process whose Java VM is running, looks
// the FMI functions up by name and runs co-simulations through them: on its main thread,
// which never returns to Java, and on a plain native thread.
#include "fmi2_functions.h"
#include "host.h"
#include "java_host.h"
#include "kvfmu_guid.h"
#include "loaded_library.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

const LoadedFmu& fmu() { return loadedFmu(KVFMU_SHARED_LIBRARY); }

class SharedLibraryHost : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(fmu().handle, nullptr) << fmu().error;
        ASSERT_NE(fmu().fmi2FreeInstance, nullptr);
        resetTestHost();
        scriptServer();
    }

    // Outputs 0..1, their copy 2..3, inputs 4..5; a fresh call log.
    static void scriptServer() {
        scriptReset();
        scriptLayout("6", "2", "2");
        scriptData({0.5, 1.5});
    }

    fmi2Component ready(const char* name) {
        fmi2Component c =
            fmu().fmi2Instantiate(name, fmi2CoSimulation, kvfmuGuid, "file:///res", &callbacks,
                                  0, 0);
        EXPECT_NE(c, nullptr);
        EXPECT_EQ(fmu().fmi2SetupExperiment(c, 0, 0, 0.0, 1, 100.0), fmi2OK);
        EXPECT_EQ(fmu().fmi2EnterInitializationMode(c), fmi2OK);
        EXPECT_EQ(fmu().fmi2ExitInitializationMode(c), fmi2OK);
        return c;
    }

    // Sets both inputs, steps, reads all outputs; answers whether every call succeeded.
    bool step(fmi2Component c, double time) {
        const fmi2ValueReference in[] = {4, 5};
        const fmi2Real values[] = {time, -time};
        const fmi2ValueReference out[] = {0, 1, 2, 3};
        fmi2Real outputs[4];
        return fmu().fmi2SetReal(c, in, 2, values) == fmi2OK &&
               fmu().fmi2DoStep(c, time, 0.01, fmi2True) == fmi2OK &&
               fmu().fmi2GetReal(c, out, 4, outputs) == fmi2OK && outputs[3] == 1.5;
    }

    const fmi2CallbackFunctions callbacks = hostCallbacks();
};

TEST_F(SharedLibraryHost, LongRunOnAThreadThatNeverReturnsToJava) {
    EXPECT_STREQ(fmu().fmi2GetVersion(), "2.0");
    fmi2Component c = ready("long");
    ASSERT_TRUE(step(c, 0.0));
    const size_t references = localReferenceCount();
    for (int i = 1; i < 20000; ++i) {
        ASSERT_TRUE(step(c, i * 0.01)) << i;
        if (i % 1000 == 0) {
            // Stop at the first growth: a leaking run only gets slower from there.
            ASSERT_EQ(localReferenceCount(), references) << "after " << i << " steps";
            scriptServer();  // keep the facade's call log small
        }
    }
    EXPECT_EQ(fmu().fmi2Terminate(c), fmi2OK);
    fmu().fmi2FreeInstance(c);
    EXPECT_EQ(allocationsOutstanding(), 0u);
    EXPECT_TRUE(testHost().log.empty());
}

TEST_F(SharedLibraryHost, StepsFromANativeThread) {
    fmi2Component c = ready("native");
    scriptServer();
    bool stepped = false;
    jint afterwards = JNI_OK;
    std::thread worker([&] {
        stepped = step(c, 0.0) && step(c, 0.01);
        afterwards = javaThreadStatus();
    });
    worker.join();
    EXPECT_TRUE(stepped);
    EXPECT_EQ(afterwards, JNI_EDETACHED);  // attached for each call only
    const auto threads = facadeCallThreads();
    ASSERT_FALSE(threads.empty());
    fmu().fmi2Terminate(c);
    fmu().fmi2FreeInstance(c);
    EXPECT_EQ(facadeCalls().back(), "doFreeInstance(native)");
    EXPECT_EQ(allocationsOutstanding(), 0u);
}

}  // namespace
