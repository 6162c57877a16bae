// Host threads: a plain native thread is attached to the VM for one operation and detached
// before it returns, also when the operation nests other bracketed calls; a thread that was
// attached before stays attached. The Java thread that made each facade call shows which
// attachment it came through.
#include "bridge_fixture.h"

#include <functional>
#include <set>
#include <thread>

namespace {

class HostThreads : public BridgeTest {
protected:
    void SetUp() override {
        BridgeTest::SetUp();
        serverInstance();
        layout("6", "2", "2");
        scriptData({1.5, 2.5});
    }

    // Runs the work on a new native thread and waits for it.
    static void onNativeThread(const std::function<void()>& work) { std::thread(work).join(); }

    // The Java thread ids of the calls, grouped in the given sizes.
    static std::vector<std::set<long long>> threadsOfCalls(std::initializer_list<size_t> sizes) {
        const std::vector<long long> ids = facadeCallThreads();
        std::vector<std::set<long long>> groups;
        size_t at = 0;
        for (size_t size : sizes) {
            groups.emplace_back();
            for (size_t i = 0; i < size && at < ids.size(); ++i) groups.back().insert(ids[at++]);
        }
        EXPECT_EQ(at, ids.size());
        return groups;
    }

    long long mainJavaThread() {
        scriptReset();
        numberOfReals("inst");
        const auto ids = facadeCallThreads();
        scriptReset();
        layout("6", "2", "2");
        scriptData({1.5, 2.5});
        return ids.empty() ? -1 : ids[0];
    }
};

TEST_F(HostThreads, NativeThreadIsAttachedForEachOperationOnly) {
    const long long mainThread = mainJavaThread();
    FmuInstance& comp = record(6);
    fmi2Status first = fmi2Fatal, second = fmi2Fatal;
    jint afterFirst = JNI_OK, afterSecond = JNI_OK;
    onNativeThread([&] {
        first = stepModel(&comp, 1.0);
        afterFirst = javaThreadStatus();
        second = stepModel(&comp, 1.0);
        afterSecond = javaThreadStatus();
    });
    EXPECT_EQ(first, fmi2OK);
    EXPECT_EQ(second, fmi2OK);
    EXPECT_EQ(afterFirst, JNI_EDETACHED);
    EXPECT_EQ(afterSecond, JNI_EDETACHED);
    EXPECT_EQ(reals(), (std::vector<double>{1.5, 2.5, 0.0, 0.0, 0.0, 0.0}));

    // Each step's four calls (two nested count queries, the step, the fetch) come from one
    // attachment, and the second step from a new one.
    const auto groups = threadsOfCalls({4, 4});
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].size(), 1u);
    EXPECT_EQ(groups[1].size(), 1u);
    EXPECT_NE(groups[0], groups[1]);
    EXPECT_EQ(groups[0].count(mainThread), 0u);
}

TEST_F(HostThreads, ThreadAttachedBeforeStaysAttached) {
    FmuInstance& comp = record(6);
    fmi2Status status = fmi2Fatal;
    jint after = JNI_EDETACHED;
    onNativeThread([&] {
        JNIEnv* env = nullptr;
        ASSERT_EQ(testJavaVm()->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr),
                  JNI_OK);
        status = stepModel(&comp, 1.0);
        calculateValues(&comp);
        after = javaThreadStatus();
        testJavaVm()->DetachCurrentThread();
    });
    EXPECT_EQ(status, fmi2OK);
    EXPECT_EQ(after, JNI_OK);
    const auto groups = threadsOfCalls({5});
    EXPECT_EQ(groups[0].size(), 1u);
}

TEST_F(HostThreads, EveryBracketedOperationDetachesOnItsWayOut) {
    FmuInstance& comp = record(6, modelInitializationMode);
    const auto nothing = [] {};
    // The script wrappers run on the main thread: answers are set before the thread starts.
    const struct {
        const char* what;
        std::function<void()> script;
        std::function<void()> operation;
    } operations[] = {
        {"initConnection", nothing, [] { j_initConnection(); }},
        {"instantiate", nothing, [] { j_doInstantiate("inst", "file:///res"); }},
        {"last error", nothing, [] { j_getLasterror(); }},
        {"property", nothing, [] { countOf(getNumberOfOutputs, "inst"); }},
        {"experiment", nothing, [] { j_doSetupExperiment("inst", 0.0, false, 0.0); }},
        {"refused experiment", [] { scriptAnswer("doSetupExperiment", false); },
         [] { j_doSetupExperiment("inst", 0.0, false, 0.0); }},
        {"initialization", nothing, [] { j_doInitializeModel("inst"); }},
        {"initial outputs", nothing, [&] { calculateValues(&comp); }},
        {"step", nothing, [&] { stepModel(&comp, 1.0); }},
        {"refused step", [] { scriptAnswer("doStepModel", false); },
         [&] { stepModel(&comp, 1.0); }},
        {"input block outside the array", [] { scriptProp("number_of_inputs", "7"); },
         [&] { stepModel(&comp, 1.0); }},
        {"set reals", nothing,
         [] {
             const JavaBracket bracket = java_attach();
             j_doSetReal("inst", 4, 1.0);
             j_doSetReal("inst", 5, 1.0);
             java_detach(bracket);
         }},
        {"terminate", nothing, [] { j_doTerminate("inst"); }},
    };
    for (const auto& o : operations) {
        SCOPED_TRACE(o.what);
        jint after = JNI_OK;
        scriptReset();
        layout("6", "2", "2");
        o.script();
        onNativeThread([&] {
            o.operation();
            after = javaThreadStatus();
        });
        EXPECT_EQ(after, JNI_EDETACHED);
        EXPECT_FALSE(facadeCalls().empty());
    }

    scriptReset();
    jint afterFree = JNI_OK;
    onNativeThread([&] {
        j_doFreeInstance("inst");
        afterFree = javaThreadStatus();
    });
    forgetServerInstance("inst");
    EXPECT_EQ(afterFree, JNI_EDETACHED);
    EXPECT_EQ(facadeCalls(), Calls{"doFreeInstance(inst)"});
}

TEST_F(HostThreads, SetUpNeedsAThreadTheVmKnows) {
    bool created = true;
    onNativeThread([&] { created = doInstantiate("late", "file:///res"); });
    EXPECT_FALSE(created);
    EXPECT_EQ(LastError, "");
    EXPECT_TRUE(facadeCalls().empty());
}

}  // namespace
