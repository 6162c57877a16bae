// Facade methods that throw: the exception is cleared, the binding gives what the call
// answered (false, null, nothing) and the operation goes on. TearDown checks that no
// exception is left pending on the thread.
#include "bridge_fixture.h"

namespace {

class ThrowingFacade : public BridgeTest {
protected:
    void SetUp() override {
        BridgeTest::SetUp();
        serverInstance();
        layout("6", "2", "2");
        scriptData({1.5, 2.5});
    }
};

TEST_F(ThrowingFacade, ThrowingCountQueryStopsTheStep) {
    scriptThrowIn("getProp");
    scriptLastError("count refused");
    FmuInstance& comp = record(6);
    EXPECT_EQ(stepModel(&comp, 1.0), fmi2Error);
    EXPECT_EQ(LastError, "The server did not report \"number_of_inputs\": count refused");
    EXPECT_EQ(facadeCalls(), (Calls{"getProp(inst,number_of_inputs)", "getLasterror()"}));
    EXPECT_EQ(reals(), (std::vector<double>(6, 0.0)));
}

TEST_F(ThrowingFacade, ThrowingStepFailsAndTheNextStepRuns) {
    scriptThrowIn("doStepModel");
    FmuInstance& comp = record(6);
    EXPECT_EQ(stepModel(&comp, 1.0), fmi2Error);
    EXPECT_TRUE(callsOf("getData").empty());
    EXPECT_EQ(comp.valuesDirty, fmi2False);

    scriptReset();
    layout("6", "2", "2");
    scriptData({1.5, 2.5});
    EXPECT_EQ(stepModel(&comp, 1.0), fmi2OK);
    EXPECT_EQ(reals(), (std::vector<double>{1.5, 2.5, 0.0, 0.0, 0.0, 0.0}));
}

TEST_F(ThrowingFacade, ThrowingOutputFetchLeavesTheValues) {
    scriptThrowIn("getData");
    FmuInstance& comp = record(6);
    std::fill_n(comp.realValues, 6, 3.25);
    EXPECT_EQ(stepModel(&comp, 1.0), fmi2OK);
    EXPECT_EQ(reals(), std::vector<double>(6, 3.25));
    EXPECT_EQ(comp.valuesDirty, fmi2True);

    comp.state = modelInitializationMode;
    calculateValues(&comp);
    EXPECT_EQ(reals(), std::vector<double>(6, 3.25));
}

TEST_F(ThrowingFacade, ThrowingSetRealDoesNotStopTheLoop) {
    scriptThrowIn("setReal");
    const JavaBracket bracket = java_attach();
    j_doSetReal("inst", 4, 1.0);
    j_doSetReal("inst", 5, 2.0);
    java_detach(bracket);
    EXPECT_EQ(facadeCalls(), (Calls{"setReal(inst,4,1.0)", "setReal(inst,5,2.0)"}));
}

TEST_F(ThrowingFacade, ThrowingSetUpStepsTakeTheServersText) {
    scriptThrowIn("doSetupExperiment");
    scriptThrowIn("doInitializeModel");
    scriptLastError("experiment rejected");
    EXPECT_FALSE(j_doSetupExperiment("inst", 0.0, true, 1.0));
    EXPECT_EQ(LastError, "experiment rejected");
    EXPECT_FALSE(j_doInitializeModel("inst"));
    EXPECT_EQ(LastError, "experiment rejected");

    scriptReset();
    scriptAnswer("doSetupExperiment", false);
    scriptThrowIn("getLasterror");
    EXPECT_FALSE(j_doSetupExperiment("inst", 0.0, true, 1.0));
    EXPECT_EQ(LastError, "");
}

TEST_F(ThrowingFacade, ThrowingTerminateAndFreeDoNotStopTheNextCall) {
    serverInstance("other");
    scriptThrowIn("doTerminate");
    scriptThrowIn("doFreeInstance");
    j_doTerminate("inst");
    j_doFreeInstance("inst");
    forgetServerInstance("inst");
    scriptProp("number_of_reals", "3");
    EXPECT_EQ(numberOfReals("other"), 3);
    EXPECT_EQ(facadeCalls(), (Calls{"doTerminate(inst)", "doFreeInstance(inst)",
                                    "getProp(other,number_of_reals)"}));
}

}  // namespace
