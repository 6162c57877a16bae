// Local references on threads that never return to Java: the main thread of this program
// (which created the VM) and a native thread kept attached. Whatever the bridge makes
// during an operation must be gone when the operation returns, so that the thread's local
// reference table does not grow however many steps run.
#include "bridge_fixture.h"

#include <thread>

namespace {

class LocalReferences : public BridgeTest {
protected:
    void SetUp() override {
        BridgeTest::SetUp();
        serverInstance();
        scriptLayout();
    }

    void scriptLayout() {
        layout("6", "2", "2");
        scriptData({1.5, 2.5});
    }

    // What a host does for one communication step: set the inputs, step, read the outputs.
    void stepSequence(FmuInstance& comp) {
        const JavaBracket bracket = java_attach();
        j_doSetReal("inst", 4, 1.0);
        j_doSetReal("inst", 5, 2.0);
        java_detach(bracket);
        EXPECT_EQ(stepModel(&comp, 0.5), fmi2OK);
        calculateValues(&comp);
        EXPECT_EQ(getReal(&comp, 2), 1.5);
    }
};

TEST_F(LocalReferences, ManyStepsLeaveNoneBehind) {
    FmuInstance& comp = record(6);
    stepSequence(comp);
    const size_t before = localReferenceCount();
    for (int i = 1; i <= 100000; ++i) {
        stepSequence(comp);
        if (i % 10000 == 0) {
            // Keeps the facade's call log small.
            scriptReset();
            scriptLayout();
        }
        // Stops at the first growth: a leak slows every later JNI call under -Xcheck:jni.
        if (i % 1000 == 0) {
            ASSERT_EQ(localReferenceCount(), before) << "after " << i << " steps";
        }
        if (HasFailure()) break;
    }
}

TEST_F(LocalReferences, SetUpsAndFailuresLeaveNoneBehind) {
    FmuInstance& comp = record(6, modelInitializationMode);
    const size_t before = localReferenceCount();
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(doInstantiate("other", "file:///res"));
        j_doSetupExperiment("other", 0.0, true, 1.0);
        j_doInitializeModel("other");
        calculateValues(&comp);
        j_doTerminate("other");
        j_doFreeInstance("other");

        scriptAnswer("doInstantiate", false);
        scriptAnswer("doSetupExperiment", false);
        scriptAnswer("doStepModel", false);
        EXPECT_FALSE(doInstantiate("other", "file:///res"));
        EXPECT_FALSE(j_doSetupExperiment("inst", 0.0, true, 1.0));
        EXPECT_EQ(stepModel(&comp, 1.0), fmi2Error);
        scriptReset();
        for (const char* method : {"getProp", "doStepModel", "getData", "doInitializeModel"})
            scriptThrowIn(method);
        EXPECT_EQ(stepModel(&comp, 1.0), fmi2Error);
        EXPECT_FALSE(j_doInitializeModel("inst"));
        scriptReset();
        scriptLayout();
    }
    EXPECT_EQ(localReferenceCount(), before);
}

TEST_F(LocalReferences, ThreadKeptAttachedLeavesNoneBehind) {
    FmuInstance& comp = record(6);
    size_t before = 0, after = 1;
    std::thread([&] {
        JNIEnv* env = nullptr;
        ASSERT_EQ(testJavaVm()->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr),
                  JNI_OK);
        stepSequence(comp);
        before = localReferenceCount();
        for (int i = 0; i < 2000; ++i) stepSequence(comp);
        after = localReferenceCount();
        testJavaVm()->DetachCurrentThread();
    }).join();
    EXPECT_EQ(after, before);
}

}  // namespace
