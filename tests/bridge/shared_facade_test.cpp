// Bridge state across threads: an operation keeps the facade object it started with when
// another thread releases or replaces it, and each thread has its own failure reason.
#include "bridge_fixture.h"

#include <functional>
#include <thread>

namespace {

using SharedFacade = BridgeTest;

// Runs the work on a new native thread attached to the VM for its whole life.
void onAttachedThread(const std::function<void()>& work) {
    std::thread([&] {
        JNIEnv* env = nullptr;
        ASSERT_EQ(testJavaVm()->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr),
                  JNI_OK);
        work();
        testJavaVm()->DetachCurrentThread();
    }).join();
}

TEST_F(SharedFacade, OperationKeepsItsFacadeWhenAnotherThreadReleasesIt) {
    serverInstance("inst");
    const JavaBracket bracket = java_attach();
    std::thread([] { j_doFreeInstance("inst"); }).join();
    forgetServerInstance("inst");
    EXPECT_EQ(korvansim, nullptr);
    j_doSetReal("inst", 4, 1.5);
    java_detach(bracket);
    EXPECT_EQ(callsOf("setReal"), Calls{"setReal(inst,4,1.5)"});
    EXPECT_EQ(liveFacadeObjects(), 0);  // gone with the operation's reference
}

TEST_F(SharedFacade, OperationKeepsItsFacadeWhenAnotherThreadReplacesIt) {
    serverInstance("inst");
    const JavaBracket bracket = java_attach();
    bool created = false;
    onAttachedThread([&] { created = doInstantiate("other", "file:///res"); });
    ASSERT_TRUE(created);
    serverInstances.push_back("other");
    j_doSetReal("inst", 4, 2.5);
    java_detach(bracket);
    EXPECT_EQ(callsOf("setReal"), Calls{"setReal(inst,4,2.5)"});
    EXPECT_EQ(liveFacadeObjects(), 1);  // the replaced one went with the operation
}

TEST_F(SharedFacade, ANewFacadeIsSharedOnlyOnceItIsConnected) {
    serverInstance("inst");
    const jobject shared = korvansim;
    for (const bool connects : {false, true}) {
        SCOPED_TRACE(connects ? "connected" : "refused");
        scriptAnswer("doInitConnection", connects);
        scriptHoldIn("doInitConnection");
        bool created = !connects;
        std::thread setUp([&] {
            JNIEnv* env = nullptr;
            testJavaVm()->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr);
            created = doInstantiate("other", "file:///res");
            testJavaVm()->DetachCurrentThread();
        });
        scriptAwaitHeld();
        // Meanwhile the running instance's calls go to the facade it had.
        EXPECT_EQ(korvansim, shared);
        const JavaBracket bracket = java_attach();
        j_doSetReal("inst", 4, 1.5);
        java_detach(bracket);
        scriptRelease();
        setUp.join();
        EXPECT_EQ(created, connects);
    }
    serverInstances.push_back("other");
    EXPECT_NE(korvansim, shared);
    EXPECT_EQ(callsOf("setReal"), (Calls{"setReal(inst,4,1.5)", "setReal(inst,4,1.5)"}));
    EXPECT_EQ(liveFacadeObjects(), 1);  // the refused one and the replaced one are let go
}

TEST_F(SharedFacade, EachThreadHasItsOwnFailureReason) {
    scriptAnswer("doInitConnection", false);
    LastError = "main thread's";
    std::string otherThreads = "unset";
    onAttachedThread([&] {
        EXPECT_FALSE(doInstantiate("late", "file:///res"));
        otherThreads = LastError;
    });
    EXPECT_EQ(otherThreads, "Not connected");
    EXPECT_EQ(LastError, "main thread's");
    EXPECT_EQ(liveInstances, 0);
}

}  // namespace
