// One communication step on the server and the real array around it: the input block
// that goes out, the outputs that come back, their copy for the host's reads, and that no
// count the server reports moves an access outside the array.
#include "bridge_fixture.h"

namespace {

class StepExchange : public BridgeTest {
protected:
    void SetUp() override {
        BridgeTest::SetUp();
        serverInstance();
        // Outputs 0..1, their copy 2..3, inputs 4..5.
        layout("6", "2", "2");
    }
};

TEST_F(StepExchange, SendsTheInputBlockAndFetchesTheOutputs) {
    FmuInstance& comp = record(6);
    comp.realValues[4] = 1.0;
    comp.realValues[5] = 2.0;
    comp.time = 2.0;
    scriptData({1.5, 2.5});
    EXPECT_EQ(stepModel(&comp, 0.5), fmi2OK);
    EXPECT_EQ(facadeCalls(),
              (Calls{"getProp(inst,number_of_inputs)", "getProp(inst,number_of_outputs)",
                     "doStepModel(inst,2.0,0.5,[1.0, 2.0])", "getData(inst)"}));
    EXPECT_EQ(reals(), (std::vector<double>{1.5, 2.5, 0.0, 0.0, 1.0, 2.0}));
    EXPECT_EQ(comp.valuesDirty, fmi2True);
    EXPECT_TRUE(guardsIntact());
}

TEST_F(StepExchange, NoInputsSendAnEmptyArrayAndStillFetch) {
    for (const char* inputs : {"0", "-2"}) {
        SCOPED_TRACE(inputs);
        scriptReset();
        layout("4", "2", inputs);
        scriptData({1.5, 2.5});
        FmuInstance& comp = record(4);
        EXPECT_EQ(stepModel(&comp, 1.0), fmi2OK);
        EXPECT_EQ(callsOf("doStepModel"), Calls{"doStepModel(inst,0.0,1.0,[])"});
        EXPECT_EQ(callsOf("getData"), Calls{"getData(inst)"});
        EXPECT_EQ(reals(), (std::vector<double>{1.5, 2.5, 0.0, 0.0}));
    }
}

TEST_F(StepExchange, ACountTheServerDoesNotGiveStopsTheStep) {
    const struct {
        const char* inputs;
        const char* outputs;
        std::string reason;
    } cases[] = {
        {"none", "2", "The server reported \"none\" for \"number_of_inputs\", which is not a count"},
        {nullptr, "2", "The server did not report \"number_of_inputs\": no such instance"},
        {"2", "", "The server reported \"\" for \"number_of_outputs\", which is not a count"},
        {"2", nullptr, "The server did not report \"number_of_outputs\": no such instance"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        scriptReset();
        layout("6", c.outputs, c.inputs);
        scriptLastError("no such instance");
        scriptData({1.5, 2.5});
        FmuInstance& comp = record(6);
        EXPECT_EQ(stepModel(&comp, 1.0), fmi2Error);
        EXPECT_EQ(LastError, c.reason);
        EXPECT_EQ(callsOf("doStepModel"), Calls{});
        EXPECT_EQ(callsOf("getData"), Calls{});
        EXPECT_EQ(reals(), (std::vector<double>(6, 0.0)));
        EXPECT_EQ(comp.valuesDirty, fmi2False);
    }
}

TEST_F(StepExchange, NoOutputsLeaveTheValuesButMarkThemDirty) {
    for (bool empty : {true, false}) {
        SCOPED_TRACE(empty ? "empty array" : "null");
        FmuInstance& comp = record(6);
        std::fill_n(comp.realValues, 6, 3.25);
        empty ? scriptData({}) : scriptNoData();
        EXPECT_EQ(stepModel(&comp, 1.0), fmi2OK);
        EXPECT_EQ(reals(), std::vector<double>(6, 3.25));
        EXPECT_EQ(comp.valuesDirty, fmi2True);
    }
}

TEST_F(StepExchange, FailedStepChangesNothing) {
    scriptAnswer("doStepModel", false);
    scriptData({1.5, 2.5});
    FmuInstance& comp = record(6);
    std::fill_n(comp.realValues, 6, 3.25);
    EXPECT_EQ(stepModel(&comp, 1.0), fmi2Error);
    EXPECT_EQ(reals(), std::vector<double>(6, 3.25));
    EXPECT_EQ(comp.valuesDirty, fmi2False);
    EXPECT_TRUE(callsOf("getData").empty());
    EXPECT_TRUE(traced("j_stepModel did not return fmi2OK: 3"));
}

TEST_F(StepExchange, FirstReadAfterAStepCopiesTheOutputs) {
    FmuInstance& comp = record(6);
    scriptData({1.5, 2.5});
    ASSERT_EQ(stepModel(&comp, 1.0), fmi2OK);
    scriptReset();
    layout("6", "2", "2");
    calculateValues(&comp);
    EXPECT_EQ(reals(), (std::vector<double>{1.5, 2.5, 1.5, 2.5, 0.0, 0.0}));
    // After a step the outputs are already here: nothing is fetched again.
    EXPECT_EQ(facadeCalls(), Calls{"getProp(inst,number_of_outputs)"});
    EXPECT_EQ(getReal(&comp, 3), 2.5);
}

TEST_F(StepExchange, ReadDuringInitializationFetchesTheInitialOutputs) {
    FmuInstance& comp = record(6, modelInitializationMode);
    scriptData({0.5, 0.75});
    calculateValues(&comp);
    EXPECT_EQ(facadeCalls(), (Calls{"getData(inst)", "getProp(inst,number_of_outputs)"}));
    EXPECT_EQ(reals(), (std::vector<double>{0.5, 0.75, 0.5, 0.75, 0.0, 0.0}));
    EXPECT_EQ(comp.valuesDirty, fmi2True);
}

TEST_F(StepExchange, SetRealSendsTheValueReferenceUnchanged) {
    const JavaBracket bracket = java_attach();
    j_doSetReal("inst", 4, 1.5);
    j_doSetReal("inst", 0xFFFFFFFFu, -0.5);
    java_detach(bracket);
    EXPECT_EQ(facadeCalls(), (Calls{"setReal(inst,4,1.5)", "setReal(inst,-1,-0.5)"}));
}

TEST_F(StepExchange, OutputsBeyondTheArrayAreDropped) {
    layout("4", "2", "0");
    scriptData({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    FmuInstance& comp = record(4);
    EXPECT_EQ(stepModel(&comp, 1.0), fmi2OK);
    EXPECT_EQ(reals(), (std::vector<double>{1, 2, 3, 4}));
    EXPECT_TRUE(guardsIntact());
}

TEST_F(StepExchange, OutputCopyStaysInsideTheArray) {
    for (const char* outputs : {"3", "4", "2000000000", "2147483647", "99999999999"}) {
        SCOPED_TRACE(outputs);
        layout("4", outputs, "0");
        FmuInstance& comp = record(4);
        std::copy_n(std::vector<double>{1, 2, 3, 4}.begin(), 4, comp.realValues);
        calculateValues(&comp);
        EXPECT_TRUE(guardsIntact());
        if (std::string(outputs) == "3") {
            EXPECT_EQ(reals(), (std::vector<double>{1, 2, 3, 1}));
        }
    }
}

TEST_F(StepExchange, InputBlockOutsideTheArrayFailsTheStep) {
    const struct {
        const char* outputs;
        const char* inputs;
    } cases[] = {{"2", "3"}, {"3", "1"}, {"1000000000", "1"}, {"2000000000", "1"},
                 {"1", "2147483647"}, {"-2", "1"}, {"-1073741824", "2"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("outputs ") + c.outputs + ", inputs " + c.inputs);
        scriptReset();
        layout("6", c.outputs, c.inputs);
        FmuInstance& comp = record(6);
        EXPECT_EQ(stepModel(&comp, 1.0), fmi2Error);
        EXPECT_EQ(comp.valuesDirty, fmi2False);
        EXPECT_TRUE(callsOf("getData").empty());
        // Nothing from outside the array reached the server.
        for (const std::string& call : callsOf("doStepModel"))
            EXPECT_EQ(call.find("-999.25"), std::string::npos) << call;
        EXPECT_TRUE(traced("j_stepModel did not return fmi2OK: 3"));
    }
}

}  // namespace
