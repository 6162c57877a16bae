// Facades that lack one method (or whose factory gives no object): the bridge clears the
// lookup's NoSuchMethodError and goes on as it does for a failed call. Each suite runs in
// the program built with its facade variant (see CMakeLists.txt), one VM per process.
#include "bridge_fixture.h"

#include <thread>

namespace {

using NoDoInitConnection = BridgeTest;

TEST_F(NoDoInitConnection, SetUpFailsNotConnected) {
    EXPECT_FALSE(doInstantiate("inst", "file:///res"));
    EXPECT_EQ(LastError, "Not connected");
    EXPECT_EQ(facadeCalls(), Calls{"create()"});
}

TEST_F(NoDoInitConnection, ThreadAttachedForTheConnectionIsDetachedAgain) {
    ASSERT_TRUE(java_setup());
    const jobject made = korvansim_setup();
    ASSERT_NE(made, nullptr);
    publishFacade(made);
    bool connected = true;
    jint after = JNI_OK;
    std::thread([&] {
        connected = j_initConnection();
        after = javaThreadStatus();
    }).join();
    EXPECT_FALSE(connected);
    EXPECT_EQ(after, JNI_EDETACHED);
    publishFacade(nullptr);
}

using NoDoInstantiate = BridgeTest;

TEST_F(NoDoInstantiate, SetUpFailsWithTheServersText) {
    scriptLastError("no simulation server");
    EXPECT_FALSE(doInstantiate("inst", "file:///res"));
    EXPECT_EQ(LastError, "no simulation server");
    EXPECT_EQ(facadeCalls(), (Calls{"create()", "doInitConnection()", "getLasterror()"}));
}

using NoGetLasterror = BridgeTest;

TEST_F(NoGetLasterror, FailedStepsHaveAnEmptyText) {
    scriptAnswer("doInstantiate", false);
    EXPECT_FALSE(doInstantiate("inst", "file:///res"));
    EXPECT_EQ(LastError, "");
    scriptReset();
    serverInstance();
    scriptAnswer("doSetupExperiment", false);
    EXPECT_FALSE(j_doSetupExperiment("inst", 0.0, false, 0.0));
    EXPECT_EQ(LastError, "");
    scriptProp("number_of_reals", "4");
    EXPECT_EQ(numberOfReals("inst"), 4);
}

using NoGetProp = BridgeTest;

TEST_F(NoGetProp, NoCountMeansNoStep) {
    serverInstance();
    layout("6", "2", "2");
    scriptData({1.5, 2.5});
    EXPECT_EQ(numberOfReals("inst"), std::nullopt);
    const std::string missing =
        "The server did not report \"number_of_inputs\": the facade "
        "com.korvan.kvbridge.KorvanSim has no method getProp(String, String) or could not be "
        "reached";
    FmuInstance& comp = record(6);
    comp.realValues[4] = 1.0;
    EXPECT_EQ(stepModel(&comp, 1.0), fmi2Error);
    EXPECT_EQ(LastError, missing);
    EXPECT_FALSE(calculateValues(&comp));
    EXPECT_TRUE(facadeCalls().empty());
    EXPECT_EQ(reals(), (std::vector<double>{0.0, 0.0, 0.0, 0.0, 1.0, 0.0}));
}

using NoDoInitializeModel = BridgeTest;

TEST_F(NoDoInitializeModel, InitializationFailsButInitialOutputsAreFetched) {
    serverInstance();
    layout("6", "2", "2");
    scriptData({1.5, 2.5});
    EXPECT_FALSE(j_doInitializeModel("inst"));
    EXPECT_EQ(LastError, "Fatal error initializing model");
    FmuInstance& comp = record(6, modelInitializationMode);
    calculateValues(&comp);
    EXPECT_EQ(reals(), (std::vector<double>{1.5, 2.5, 1.5, 2.5, 0.0, 0.0}));
}

using NoSetReal = BridgeTest;

TEST_F(NoSetReal, ValuesAreNotSentAndTheLoopGoesOn) {
    serverInstance();
    scriptProp("number_of_reals", "6");
    const JavaBracket bracket = java_attach();
    j_doSetReal("inst", 4, 1.0);
    j_doSetReal("inst", 5, 2.0);
    EXPECT_EQ(numberOfReals("inst"), 6);
    java_detach(bracket);
    EXPECT_EQ(facadeCalls(), Calls{"getProp(inst,number_of_reals)"});
}

using NoDoStepModel = BridgeTest;

TEST_F(NoDoStepModel, StepFailsAndNothingIsFetched) {
    serverInstance();
    layout("6", "2", "2");
    scriptData({1.5, 2.5});
    FmuInstance& comp = record(6);
    EXPECT_EQ(stepModel(&comp, 1.0), fmi2Error);
    EXPECT_EQ(reals(), std::vector<double>(6, 0.0));
    EXPECT_EQ(comp.valuesDirty, fmi2False);
    EXPECT_TRUE(callsOf("getData").empty());
    EXPECT_TRUE(traced("j_stepModel did not return fmi2OK: 3"));
}

using NoGetData = BridgeTest;

TEST_F(NoGetData, StepLeavesTheValuesButMarksThemDirty) {
    serverInstance();
    layout("6", "2", "2");
    FmuInstance& comp = record(6);
    std::fill_n(comp.realValues, 6, 3.25);
    EXPECT_EQ(stepModel(&comp, 1.0), fmi2OK);
    EXPECT_EQ(reals(), std::vector<double>(6, 3.25));
    EXPECT_EQ(comp.valuesDirty, fmi2True);
    EXPECT_EQ(callsOf("doStepModel").size(), 1u);
}

using NoCreate = BridgeTest;

TEST_F(NoCreate, SetUpCannotFindTheJavaClasses) {
    EXPECT_FALSE(doInstantiate("inst", "file:///res"));
    EXPECT_EQ(LastError, "Cannot find Java classes");
    EXPECT_TRUE(facadeCalls().empty());
}

// The full facade, with a factory scripted to answer null, in a process of its own.
using CreateReturnsNull = BridgeTest;

TEST_F(CreateReturnsNull, SetUpCannotFindTheJavaClasses) {
    scriptCreateReturnsNull(true);
    EXPECT_FALSE(doInstantiate("inst", "file:///res"));
    EXPECT_EQ(LastError, "Cannot find Java classes");
    EXPECT_EQ(facadeCalls(), Calls{"create()"});
}

}  // namespace
