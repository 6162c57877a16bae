// What the values a host sets and reads must obey, against the scriptable facade: outputs
// cannot be set, a count the server does not give fails the call instead of reading as 0,
// the initial outputs are those after the model's initialization, and two live instances
// of one name are two instances on the server.
#include "host.h"
#include "instance.h"
#include "java_host.h"
#include "kvfmu_guid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

Calls callsOf(const Calls& calls, const std::string& method) {
    Calls found;
    for (const std::string& call : calls)
        if (call.compare(0, method.size() + 1, method + "(") == 0) found.push_back(call);
    return found;
}

class ValueRules : public ::testing::Test {
protected:
    void SetUp() override {
        resetTestHost();
        scriptReset();
        // Outputs 0..1, their copy 2..3, inputs 4..5.
        scriptLayout("6", "2", "2");
        scriptData({1.5, 2.5});
    }

    void TearDown() override { EXPECT_EQ(allocationsOutstanding(), 0u); }

    FmuInstance* instantiate(const char* name = "inst") {
        return static_cast<FmuInstance*>(fmi2Instantiate(name, fmi2CoSimulation, kvfmuGuid,
                                                         "file:///res", &callbacks, 0, 0));
    }

    // Instantiated, set up and initialized; the facade's log and the host's are cleared.
    FmuInstance* readyToStep(const char* name = "inst") {
        FmuInstance* comp = instantiate(name);
        EXPECT_NE(comp, nullptr);
        EXPECT_EQ(fmi2SetupExperiment(comp, fmi2False, 0, 0.0, fmi2False, 0.0), fmi2OK);
        EXPECT_EQ(fmi2EnterInitializationMode(comp), fmi2OK);
        EXPECT_EQ(fmi2ExitInitializationMode(comp), fmi2OK);
        scriptReset();
        scriptLayout("6", "2", "2");
        testHost().log.clear();
        return comp;
    }

    std::vector<double> reals(const FmuInstance* comp) const {
        return {comp->realValues, comp->realValues + comp->realValuesLength};
    }

    const fmi2CallbackFunctions callbacks = hostCallbacks();
};

TEST_F(ValueRules, OutputsAndTheirCopiesCannotBeSet) {
    const struct {
        std::vector<fmi2ValueReference> vr;
        fmi2ValueReference refused;
        Calls sent;  // setReal calls made before the refusal
    } cases[] = {
        {{0}, 0, {}},
        {{1}, 1, {}},
        {{2}, 2, {}},
        {{3}, 3, {}},
        {{4, 5, 1}, 1, {"setReal(inst,4,10.0)", "setReal(inst,5,11.0)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refused);
        FmuInstance* comp = readyToStep();
        comp->valuesDirty = fmi2False;
        const std::vector<double> before = reals(comp);
        const std::vector<fmi2Real> values = {10.0, 11.0, 12.0};
        EXPECT_EQ(fmi2SetReal(comp, c.vr.data(), c.vr.size(), values.data()), fmi2Error);
        ASSERT_EQ(testHost().log.size(), 1u);
        const LogRecord& message = testHost().log[0];
        EXPECT_EQ(message.status, fmi2Error);
        EXPECT_EQ(message.category, "logError");
        EXPECT_EQ(message.format,
                  "fmi2SetReal: #r%u# is an output; outputs are computed by the model and "
                  "cannot be set.");
        EXPECT_EQ(message.text, "fmi2SetReal: #r" + std::to_string(c.refused) +
                                    "# is an output; outputs are computed by the model and "
                                    "cannot be set.");
        EXPECT_EQ(comp->state, modelError);
        EXPECT_FALSE(comp->valuesDirty);
        EXPECT_EQ(callsOf(facadeCalls(), "setReal"), c.sent);
        // The refused value is not stored; the inputs before it are.
        std::vector<double> expected = before;
        for (size_t i = 0; i < c.sent.size(); ++i) expected[c.vr[i]] = values[i];
        EXPECT_EQ(reals(comp), expected);
        fmi2FreeInstance(comp);
    }
}

TEST_F(ValueRules, ACallWithoutTheServersCountFailsAndTouchesNothing) {
    // Each count is either absent (null: the server refused it) or not a number.
    const struct {
        const char* reals;
        const char* outputs;
        std::string reason;
    } cases[] = {
        {nullptr, "2", "The server did not report \"number_of_reals\": gone"},
        {"many", "2", "The server reported \"many\" for \"number_of_reals\", which is not a count"},
        {"6", nullptr, "The server did not report \"number_of_outputs\": gone"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        scriptLayout("6", "2", "2");
        FmuInstance* comp = readyToStep();
        scriptLayout(c.reals, c.outputs, "2");
        scriptLastError("gone");
        // The initialization asked for the outputs; here the count is to be asked anew.
        comp->outputCountKnown = fmi2False;
        const fmi2ValueReference in[] = {4};
        const fmi2Real value[] = {7.0};
        EXPECT_EQ(fmi2SetReal(comp, in, 1, value), fmi2Error);
        ASSERT_FALSE(testHost().log.empty());
        EXPECT_EQ(testHost().log.back().text, "fmi2SetReal: " + c.reason);
        EXPECT_EQ(testHost().log.back().status, fmi2Error);
        EXPECT_EQ(callsOf(facadeCalls(), "setReal"), Calls{});
        EXPECT_EQ(comp->realValues[4], 0.0);
        EXPECT_EQ(comp->state, modelError);

        // A read needs the count of reals, and the copy of the outputs their count.
        const fmi2ValueReference out[] = {0, 2};
        fmi2Real read[] = {-1.0, -1.0};
        comp->valuesDirty = fmi2True;
        EXPECT_EQ(fmi2GetReal(comp, out, 2, read), fmi2Error);
        EXPECT_EQ(testHost().log.back().text, "fmi2GetReal: " + c.reason);
        EXPECT_EQ(read[0], -1.0);
        EXPECT_EQ(read[1], -1.0);
        fmi2FreeInstance(comp);
    }
}

TEST_F(ValueRules, AnInstanceWhoseRealsAreNotCountedIsNotMade) {
    scriptProp("number_of_reals", nullptr);
    scriptLastError("no count for you");
    EXPECT_EQ(instantiate(), nullptr);
    ASSERT_EQ(testHost().log.size(), 1u);
    EXPECT_EQ(testHost().log[0].text,
              "fmi2Instantiate: The server did not report \"number_of_reals\": no count for you");
    EXPECT_EQ(testHost().log[0].category, "error");
    EXPECT_EQ(facadeCalls().back(), "doFreeInstance(inst)");
    EXPECT_EQ(liveFacadeObjects(), 0);
}

TEST_F(ValueRules, InitialOutputsComeAfterTheModelsInitialization) {
    FmuInstance* comp = instantiate();
    ASSERT_NE(comp, nullptr);
    fmi2SetupExperiment(comp, fmi2False, 0, 0.0, fmi2False, 0.0);
    fmi2EnterInitializationMode(comp);
    // A host that reads in initialization mode gets what the server has before then.
    scriptData({0.0, 0.0});
    const fmi2ValueReference vr[] = {0, 1, 2, 3};
    fmi2Real early[4] = {};
    EXPECT_EQ(fmi2GetReal(comp, vr, 4, early), fmi2OK);
    scriptReset();
    scriptLayout("6", "2", "2");
    scriptData({1.0, 0.025});
    EXPECT_EQ(fmi2ExitInitializationMode(comp), fmi2OK);
    EXPECT_EQ(facadeCalls(), (Calls{"doInitializeModel(inst)", "getData(inst)",
                                    "getProp(inst,number_of_outputs)"}));
    fmi2Real initial[4] = {};
    EXPECT_EQ(fmi2GetReal(comp, vr, 4, initial), fmi2OK);
    EXPECT_EQ(std::vector<double>(initial, initial + 4),
              (std::vector<double>{1.0, 0.025, 1.0, 0.025}));
    fmi2FreeInstance(comp);
}

TEST_F(ValueRules, LiveInstancesOfOneNameHaveKeysOfTheirOwn) {
    FmuInstance* first = readyToStep("twin");
    FmuInstance* second = readyToStep("twin");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(first->serverKey, "twin");
    EXPECT_STREQ(second->serverKey, "twin#2");
    EXPECT_STREQ(second->instanceName, "twin");

    const fmi2ValueReference in[] = {4};
    const fmi2Real one[] = {1.0}, two[] = {2.0};
    fmi2SetReal(first, in, 1, one);
    fmi2SetReal(second, in, 1, two);
    scriptAnswer("doStepModel", false);
    EXPECT_EQ(fmi2DoStep(second, 0.0, 1.0, fmi2False), fmi2Error);
    EXPECT_EQ(callsOf(facadeCalls(), "setReal"),
              (Calls{"setReal(twin,4,1.0)", "setReal(twin#2,4,2.0)"}));
    EXPECT_EQ(callsOf(facadeCalls(), "doStepModel"),
              (Calls{"doStepModel(twin#2,0.0,1.0,[2.0, 0.0])"}));
    // The host's logger hears the host's name.
    ASSERT_FALSE(testHost().log.empty());
    EXPECT_EQ(testHost().log.back().instanceName, "twin");

    // A freed key is the first to be taken again.
    fmi2FreeInstance(first);
    FmuInstance* third = instantiate("twin");
    ASSERT_NE(third, nullptr);
    EXPECT_STREQ(third->serverKey, "twin");
    FmuInstance* fourth = instantiate("twin");
    ASSERT_NE(fourth, nullptr);
    EXPECT_STREQ(fourth->serverKey, "twin#3");
    for (FmuInstance* comp : {second, third, fourth}) fmi2FreeInstance(comp);
    EXPECT_EQ(callsOf(facadeCalls(), "doFreeInstance"),
              (Calls{"doFreeInstance(twin)", "doFreeInstance(twin#2)", "doFreeInstance(twin)",
                     "doFreeInstance(twin#3)"}));
}

TEST_F(ValueRules, AKeyTheServerStillHoldsIsNotGivenAgain) {
    FmuInstance* kept = instantiate("kept");
    ASSERT_NE(kept, nullptr);
    scriptThrowIn("doFreeInstance");
    fmi2FreeInstance(kept);
    ASSERT_EQ(testHost().log.size(), 1u);
    EXPECT_EQ(testHost().log[0].text,
              "fmi2FreeInstance: The server could not be told to free instance kept.");
    scriptReset();
    scriptLayout("6", "2", "2");
    FmuInstance* next = instantiate("kept");
    ASSERT_NE(next, nullptr);
    EXPECT_STREQ(next->serverKey, "kept#2");
    fmi2FreeInstance(next);
}

}  // namespace
