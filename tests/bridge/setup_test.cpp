// Setting up a server-side instance: the facade calls it makes, why a failed set-up says
// it failed, the set-up counter, the life of the shared facade object, and the bindings
// for experiment set-up, initialization and termination.
#include "bridge_fixture.h"

namespace {

using ServerSetUp = BridgeTest;

TEST_F(ServerSetUp, CreatesFacadeConnectsAndInstantiates) {
    const int32_t before = counter;
    ASSERT_TRUE(doInstantiate("inst", "file:///res"));
    serverInstances.push_back("inst");
    EXPECT_EQ(LastError, "");
    EXPECT_EQ(facadeCalls(),
              (Calls{"create()", "doInitConnection()", "doInstantiate(inst,file:///res)"}));
    EXPECT_TRUE(traced("counter: " + std::to_string(before + 1)));
    EXPECT_EQ(liveInstances, 1);
}

TEST_F(ServerSetUp, EverySetUpIsCountedAndMakesItsOwnFacade) {
    const int32_t before = counter;
    ASSERT_TRUE(doInstantiate("a", "file:///res"));
    serverInstances.push_back("a");
    scriptAnswer("doInitConnection", false);
    EXPECT_FALSE(doInstantiate("b", "file:///res"));
    scriptAnswer("doInitConnection", true);
    ASSERT_TRUE(doInstantiate("c", "file:///res"));
    serverInstances.push_back("c");

    std::vector<std::string> counts;
    for (const std::string& text : traceTexts())
        if (text.rfind("counter: ", 0) == 0) counts.push_back(text);
    EXPECT_EQ(counts, (std::vector<std::string>{"counter: " + std::to_string(before + 1),
                                                "counter: " + std::to_string(before + 2),
                                                "counter: " + std::to_string(before + 3)}));
    EXPECT_EQ(callsOf("create").size(), 3u);
}

struct FailedSetUp {
    const char* what;
    void (*script)();
    const char* lastError;
    Calls calls;
};

TEST_F(ServerSetUp, FailedSetUpsSayWhy) {
    const FailedSetUp cases[] = {
        {"create answers null", [] { scriptCreateReturnsNull(true); }, "Cannot find Java classes",
         {"create()"}},
        {"create throws", [] { scriptThrowIn("create"); }, "Cannot find Java classes",
         {"create()"}},
        {"not connected", [] { scriptAnswer("doInitConnection", false); }, "Not connected",
         {"create()", "doInitConnection()"}},
        {"connection throws", [] { scriptThrowIn("doInitConnection"); }, "Not connected",
         {"create()", "doInitConnection()"}},
        {"server refuses",
         [] {
             scriptAnswer("doInstantiate", false);
             scriptLastError("no model at file:///res");
         },
         "no model at file:///res",
         {"create()", "doInitConnection()", "doInstantiate(inst,file:///res)", "getLasterror()"}},
        {"server refuses without a text",
         [] {
             scriptAnswer("doInstantiate", false);
             scriptLastError(nullptr);
         },
         "",
         {"create()", "doInitConnection()", "doInstantiate(inst,file:///res)", "getLasterror()"}},
        {"server throws",
         [] {
             scriptThrowIn("doInstantiate");
             scriptLastError("broken");
         },
         "broken",
         {"create()", "doInitConnection()", "doInstantiate(inst,file:///res)", "getLasterror()"}},
        {"error text throws",
         [] {
             scriptAnswer("doInstantiate", false);
             scriptThrowIn("getLasterror");
         },
         "",
         {"create()", "doInitConnection()", "doInstantiate(inst,file:///res)", "getLasterror()"}},
    };
    for (const FailedSetUp& c : cases) {
        SCOPED_TRACE(c.what);
        scriptReset();
        LastError = "left over";
        c.script();
        EXPECT_FALSE(doInstantiate("inst", "file:///res"));
        EXPECT_EQ(LastError, c.lastError);
        EXPECT_EQ(facadeCalls(), c.calls);
        EXPECT_EQ(liveInstances, 0);
        EXPECT_FALSE(javaExceptionPending());
    }
    scriptReset();
    serverInstance();
    EXPECT_EQ(LastError, "");
}

TEST_F(ServerSetUp, FacadeLivesUntilTheLastInstanceIsFreed) {
    const int before = liveFacadeObjects();
    serverInstance("a");
    serverInstance("b");
    // The facade of the first set-up was replaced and let go.
    EXPECT_EQ(liveFacadeObjects(), before + 1);

    j_doFreeInstance("a");
    forgetServerInstance("a");
    scriptProp("number_of_reals", "5");
    EXPECT_EQ(numberOfReals("b"), 5);
    EXPECT_EQ(facadeCalls(), (Calls{"doFreeInstance(a)", "getProp(b,number_of_reals)"}));
    EXPECT_EQ(liveFacadeObjects(), before + 1);

    j_doFreeInstance("b");
    forgetServerInstance("b");
    EXPECT_EQ(liveFacadeObjects(), before);
    scriptReset();
    scriptProp("number_of_reals", "5");
    EXPECT_EQ(numberOfReals("b"), std::nullopt);
    EXPECT_TRUE(facadeCalls().empty());
}

TEST_F(ServerSetUp, ExperimentInitializationAndTermination) {
    serverInstance();
    EXPECT_TRUE(j_doSetupExperiment("inst", 1.5, false, 10.0));
    EXPECT_EQ(LastError, "");
    EXPECT_TRUE(j_doInitializeModel("inst"));
    j_doTerminate("inst");
    EXPECT_EQ(facadeCalls(), (Calls{"doSetupExperiment(inst,1.5,false,10.0)",
                                    "doInitializeModel(inst)", "doTerminate(inst)"}));

    scriptReset();
    scriptAnswer("doSetupExperiment", false);
    scriptAnswer("doInitializeModel", false);
    scriptLastError("stop time before start time");
    EXPECT_FALSE(j_doSetupExperiment("inst", 2.0, true, 1.0));
    EXPECT_EQ(LastError, "stop time before start time");
    scriptLastError("");
    EXPECT_FALSE(j_doInitializeModel("inst"));
    EXPECT_EQ(LastError, "");
    EXPECT_EQ(facadeCalls(), (Calls{"doSetupExperiment(inst,2.0,true,1.0)", "getLasterror()",
                                    "doInitializeModel(inst)", "getLasterror()"}));
}

// Sets a Java system property of the VM, as a host would before loading the library.
void setSystemProperty(const char* key, const char* value) {
    JNIEnv* env = mainThreadEnv();
    jclass system = env->FindClass("java/lang/System");
    ASSERT_FALSE(env->ExceptionCheck());
    jmethodID set = env->GetStaticMethodID(system, "setProperty",
                                           "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;");
    ASSERT_FALSE(env->ExceptionCheck());
    jstring k = env->NewStringUTF(key);
    jstring v = env->NewStringUTF(value);
    jobject previous = env->CallStaticObjectMethod(system, set, k, v);
    ASSERT_FALSE(env->ExceptionCheck());
    for (jobject ref : {previous, static_cast<jobject>(v), static_cast<jobject>(k),
                        static_cast<jobject>(system)})
        if (ref) env->DeleteLocalRef(ref);
}

TEST_F(ServerSetUp, JavaSystemPropertiesAreRead) {
    serverInstance();  // takes the environment of this thread
    EXPECT_EQ(getJavaProperty("java.class.path"), KVFMU_TEST_CLASS_PATH);
    EXPECT_EQ(getJavaProperty("kv.unset"), "");
    const char* root = "C:\\kv\\r\xc3\xb6\xc3\xb6t \xe2\x82\xac";
    setSystemProperty("kv.root", root);
    EXPECT_EQ(getJavaProperty("kv.root"), root);
    serverInstance("second");  // a set-up with kv.root set goes on as without
}

}  // namespace
