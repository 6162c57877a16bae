// A host's view of co-simulation runs against the scriptable test facade in a real Java VM:
// the exact facade calls, the values handed back, refusals with their partial effects, and
// the memory taken from and given back to the host.
#include "host.h"
#include "instance.h"
#include "java_host.h"
#include "kvfmu_guid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

class CoSimulation : public ::testing::Test {
protected:
    void SetUp() override {
        resetTestHost();
        scriptReset();
        // Outputs 0..1, their copy 2..3, inputs 4..5.
        scriptLayout("6", "2", "2");
        scriptData({1.5, 2.5});
    }

    FmuInstance* instantiate(const char* name = "inst", fmi2Type type = fmi2CoSimulation,
                             fmi2Boolean loggingOn = fmi2False) {
        return static_cast<FmuInstance*>(fmi2Instantiate(name, type, kvfmuGuid, "file:///res",
                                                         &callbacks, fmi2False, loggingOn));
    }

    // Instantiated, set up and initialized; the facade's log is cleared afterwards.
    FmuInstance* readyToStep(const char* name = "inst") {
        FmuInstance* comp = instantiate(name);
        EXPECT_NE(comp, nullptr);
        EXPECT_EQ(fmi2SetupExperiment(comp, fmi2False, 0, 0.0, fmi2True, 10.0), fmi2OK);
        EXPECT_EQ(fmi2EnterInitializationMode(comp), fmi2OK);
        EXPECT_EQ(fmi2ExitInitializationMode(comp), fmi2OK);
        scriptReset();
        scriptLayout("6", "2", "2");
        testHost().log.clear();
        return comp;
    }

    std::vector<LogRecord> errors() const {
        std::vector<LogRecord> found;
        for (const auto& r : testHost().log)
            if (r.status == fmi2Error) found.push_back(r);
        return found;
    }

    const fmi2CallbackFunctions callbacks = hostCallbacks();
};

TEST_F(CoSimulation, CompleteRunReachesTheServerInOrder) {
    FmuInstance* comp = instantiate();
    ASSERT_NE(comp, nullptr);
    EXPECT_EQ(comp->state, modelInstantiated);
    EXPECT_EQ(comp->time, 0.0);
    EXPECT_TRUE(comp->valuesDirty);

    ASSERT_EQ(fmi2SetupExperiment(comp, fmi2True, 1e-6, 0.0, fmi2True, 10.0), fmi2OK);
    ASSERT_EQ(fmi2EnterInitializationMode(comp), fmi2OK);
    ASSERT_EQ(fmi2ExitInitializationMode(comp), fmi2OK);
    EXPECT_EQ(comp->state, modelStepComplete);

    const fmi2ValueReference inputs[] = {4, 5};
    const fmi2Real inputValues[] = {1.0, 2.0};
    ASSERT_EQ(fmi2SetReal(comp, inputs, 2, inputValues), fmi2OK);
    scriptData({3.5, 4.5});
    ASSERT_EQ(fmi2DoStep(comp, 0.0, 0.5, fmi2True), fmi2OK);

    const fmi2ValueReference outputs[] = {0, 1, 2, 3, 4, 5};
    fmi2Real values[6] = {};
    ASSERT_EQ(fmi2GetReal(comp, outputs, 6, values), fmi2OK);
    EXPECT_EQ(std::vector<double>(values, values + 6),
              (std::vector<double>{3.5, 4.5, 3.5, 4.5, 1.0, 2.0}));

    ASSERT_EQ(fmi2Terminate(comp), fmi2OK);
    EXPECT_EQ(comp->state, modelTerminated);
    fmi2FreeInstance(comp);

    EXPECT_EQ(facadeCalls(), (Calls{
        "create()", "doInitConnection()", "doInstantiate(inst,file:///res)",
        "getProp(inst,number_of_reals)",
        "doSetupExperiment(inst,0.0,true,10.0)",
        "doInitializeModel(inst)", "getData(inst)", "getProp(inst,number_of_outputs)",
        "getProp(inst,number_of_reals)", "setReal(inst,4,1.0)", "setReal(inst,5,2.0)",
        "getProp(inst,number_of_inputs)", "getProp(inst,number_of_outputs)",
        "doStepModel(inst,0.0,0.5,[1.0, 2.0])", "getData(inst)",
        "getProp(inst,number_of_outputs)", "getProp(inst,number_of_reals)",
        "doTerminate(inst)", "doFreeInstance(inst)"}));
    EXPECT_TRUE(errors().empty());

    // Nine blocks from the host, nine given back: the eight in field order, then the record.
    const auto& allocations = testHost().allocations;
    ASSERT_EQ(allocations.size(), 9u);
    EXPECT_EQ(allocations[0].size, sizeof(FmuInstance));
    EXPECT_EQ(allocations[1].count, 6u);
    EXPECT_EQ(allocations[1].size, 8u);
    EXPECT_EQ(allocations[6].count, 5u);  // "inst" and its NUL
    EXPECT_EQ(allocations[7].count, std::string(kvfmuGuid).size() + 1);
    EXPECT_EQ(allocations[8].count, 5u);  // the server key, "inst" as well
    ASSERT_EQ(testHost().freed.size(), 9u);
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(testHost().freed[i], allocations[i + 1].pointer);
    EXPECT_EQ(testHost().freed[8], allocations[0].pointer);
    EXPECT_EQ(liveFacadeObjects(), 0);
}

TEST_F(CoSimulation, InitialOutputsAreFetchedAtTheEndOfInitialization) {
    FmuInstance* comp = instantiate();
    fmi2EnterInitializationMode(comp);
    fmi2ExitInitializationMode(comp);
    EXPECT_FALSE(comp->valuesDirty);
    EXPECT_EQ(std::vector<double>(comp->realValues, comp->realValues + 4),
              (std::vector<double>{1.5, 2.5, 1.5, 2.5}));
    fmi2FreeInstance(comp);
}

TEST_F(CoSimulation, CallLogFollowsTheSwitches) {
    FmuInstance* comp = instantiate("inst", fmi2CoSimulation, fmi2True);
    ASSERT_EQ(testHost().log.size(), 1u);
    EXPECT_EQ(testHost().log[0].text, std::string("fmi2Instantiate: GUID=") + kvfmuGuid);
    EXPECT_EQ(testHost().log[0].category, "logFmiCall");
    for (auto on : comp->logCategories) EXPECT_TRUE(on);
    fmi2SetupExperiment(comp, fmi2True, 0.001, 0.0, fmi2False, 0.0);
    EXPECT_EQ(testHost().log.back().text, "fmi2SetupExperiment: toleranceDefined=1 tolerance=0.001");
    fmi2FreeInstance(comp);

    resetTestHost();
    comp = instantiate("quiet");
    for (auto on : comp->logCategories) EXPECT_FALSE(on);
    fmi2SetupExperiment(comp, fmi2True, 0.001, 0.0, fmi2False, 0.0);
    fmi2FreeInstance(comp);
    EXPECT_TRUE(testHost().log.empty());
}

TEST_F(CoSimulation, InstantiateArgumentErrors) {
    const fmi2CallbackFunctions noLogger = {nullptr, callbacks.allocateMemory,
                                            callbacks.freeMemory, nullptr, nullptr};
    EXPECT_EQ(fmi2Instantiate("a", fmi2CoSimulation, kvfmuGuid, "", &noLogger, 0, 0), nullptr);
    EXPECT_EQ(fmi2Instantiate("a", fmi2CoSimulation, kvfmuGuid, "", nullptr, 0, 0), nullptr);
    EXPECT_TRUE(testHost().log.empty());

    const fmi2CallbackFunctions noFree = {callbacks.logger, callbacks.allocateMemory, nullptr,
                                          nullptr, callbacks.componentEnvironment};
    EXPECT_EQ(fmi2Instantiate("a", fmi2CoSimulation, kvfmuGuid, "", &noFree, 0, 0), nullptr);
    EXPECT_EQ(testHost().log.back().text, "fmi2Instantiate: Missing callback function.");
    EXPECT_EQ(testHost().log.back().instanceName, "a");
    EXPECT_EQ(testHost().log.back().category, "error");

    EXPECT_EQ(fmi2Instantiate("", fmi2CoSimulation, kvfmuGuid, "", &callbacks, 0, 0), nullptr);
    EXPECT_EQ(testHost().log.back().text, "fmi2Instantiate: Missing instance name.");
    EXPECT_EQ(testHost().log.back().instanceName, "?");

    EXPECT_EQ(fmi2Instantiate("a", fmi2CoSimulation, nullptr, "", &callbacks, 0, 0), nullptr);
    EXPECT_EQ(testHost().log.back().text, "fmi2Instantiate: Missing GUID.");

    const char* lower = "{ba0a9140-44d0-41c3-aaa7-c152c647039f}";
    EXPECT_EQ(fmi2Instantiate("a", fmi2CoSimulation, lower, "", &callbacks, 0, 0), nullptr);
    EXPECT_EQ(testHost().log.back().format, "fmi2Instantiate: Wrong GUID %s. Expected %s.");
    EXPECT_EQ(testHost().log.back().text, std::string("fmi2Instantiate: Wrong GUID ") + lower +
                                              ". Expected " + kvfmuGuid + ".");
    EXPECT_EQ(testHost().log.size(), 4u);
    EXPECT_TRUE(facadeCalls().empty());
    EXPECT_TRUE(testHost().allocations.empty());
}

TEST_F(CoSimulation, RefusedServerSetUpShowsTheServerTextVerbatim) {
    scriptAnswer("doInstantiate", false);
    scriptLastError("no licence for %s at 100%");
    EXPECT_EQ(instantiate(), nullptr);
    ASSERT_EQ(testHost().log.size(), 2u);
    EXPECT_EQ(testHost().log[0].text, "fmi2Instantiate: Process error");
    EXPECT_EQ(testHost().log[1].format, "%s");
    EXPECT_EQ(testHost().log[1].text, "no licence for %s at 100%");
    EXPECT_EQ(testHost().log[1].category, "error");
    EXPECT_TRUE(testHost().allocations.empty());
    EXPECT_EQ(liveFacadeObjects(), 0);  // a facade object serving no instance is not kept
}

TEST_F(CoSimulation, FailedInstantiationGivesEverythingBack) {
    // A negative count would ask the host for an absurd block.
    scriptProp("number_of_reals", "-3");
    EXPECT_EQ(instantiate(), nullptr);
    EXPECT_EQ(testHost().log.back().text,
              "fmi2Instantiate: Invalid number of real variables -3 reported by the server.");
    EXPECT_EQ(allocationsOutstanding(), 0u);
    EXPECT_EQ(facadeCalls().back(), "doFreeInstance(inst)");

    for (int failing : {0, 1, 4, 7}) {
        resetTestHost();
        scriptReset();
        scriptProp("number_of_reals", "6");
        testHost().failAllocationAt = failing;
        EXPECT_EQ(instantiate(), nullptr) << failing;
        EXPECT_EQ(testHost().log.back().text, "fmi2Instantiate: Out of memory.");
        EXPECT_EQ(allocationsOutstanding(), 0u) << failing;
        EXPECT_EQ(facadeCalls().back(), "doFreeInstance(inst)") << failing;
    }
    EXPECT_EQ(liveFacadeObjects(), 0);
}

TEST_F(CoSimulation, ExperimentRefusedByTheServer) {
    FmuInstance* comp = instantiate();
    scriptAnswer("doSetupExperiment", false);
    scriptLastError("stop before start");
    EXPECT_EQ(fmi2SetupExperiment(comp, fmi2True, 0.1, 2.5, fmi2False, 7.0), fmi2Error);
    EXPECT_EQ(comp->time, 2.5);
    EXPECT_EQ(comp->state, modelInstantiated);
    ASSERT_EQ(testHost().log.size(), 1u);
    EXPECT_EQ(testHost().log[0].status, fmi2Error);
    EXPECT_EQ(testHost().log[0].category, "logFmiCall");
    EXPECT_EQ(testHost().log[0].text, "stop before start");
    EXPECT_EQ(facadeCalls().back(), "getLasterror()");
    EXPECT_EQ(facadeCalls()[facadeCalls().size() - 2], "doSetupExperiment(inst,2.5,false,7.0)");
    fmi2FreeInstance(comp);
}

TEST_F(CoSimulation, InitializationEndsByType) {
    FmuInstance* exchange = instantiate("me", fmi2ModelExchange);
    fmi2EnterInitializationMode(exchange);
    EXPECT_EQ(fmi2ExitInitializationMode(exchange), fmi2OK);
    EXPECT_EQ(exchange->state, modelEventMode);
    EXPECT_TRUE(exchange->newEventIteration);
    FmuInstance* other = instantiate("other", static_cast<fmi2Type>(5));
    fmi2EnterInitializationMode(other);
    EXPECT_EQ(fmi2ExitInitializationMode(other), fmi2OK);
    EXPECT_EQ(other->state, modelStepComplete);
    fmi2FreeInstance(exchange);
    fmi2FreeInstance(other);
}

TEST_F(CoSimulation, InitializationRefusedByTheServerIsAnError) {
    for (fmi2Type type : {fmi2CoSimulation, fmi2ModelExchange}) {
        scriptReset();
        scriptLayout("6", "2", "2");
        FmuInstance* comp = instantiate("inst", type);
        fmi2EnterInitializationMode(comp);
        scriptAnswer("doInitializeModel", false);
        scriptLastError("T must be positive");
        testHost().log.clear();
        EXPECT_EQ(fmi2ExitInitializationMode(comp), fmi2Error);
        EXPECT_EQ(comp->state, modelError);
        ASSERT_EQ(testHost().log.size(), 1u);
        EXPECT_EQ(testHost().log[0].status, fmi2Error);
        EXPECT_EQ(testHost().log[0].category, "logError");
        EXPECT_EQ(testHost().log[0].text, "fmi2ExitInitializationMode: T must be positive");
        EXPECT_EQ(facadeCalls().back(), "getLasterror()") << "no outputs fetched";
        fmi2FreeInstance(comp);
        EXPECT_EQ(facadeCalls().back(), "doFreeInstance(inst)");
    }
}

TEST_F(CoSimulation, ResetStartsOverWithoutTheServer) {
    FmuInstance* comp = readyToStep();
    fmi2Terminate(comp);
    scriptReset();
    EXPECT_EQ(fmi2Reset(comp), fmi2OK);
    EXPECT_EQ(comp->state, modelInstantiated);
    EXPECT_TRUE(facadeCalls().empty());
    EXPECT_EQ(fmi2SetupExperiment(comp, fmi2False, 0, 1.0, fmi2True, 2.0), fmi2OK);
    EXPECT_EQ(facadeCalls(), (Calls{"doSetupExperiment(inst,1.0,true,2.0)"}));
    EXPECT_EQ(fmi2Terminate(comp), fmi2Error);  // not from modelInstantiated
    fmi2FreeInstance(comp);                     // also from modelError
    EXPECT_EQ(facadeCalls().back(), "doFreeInstance(inst)");
}

TEST_F(CoSimulation, SetRealStopsAtTheFirstBadReference) {
    FmuInstance* comp = readyToStep();
    comp->valuesDirty = fmi2False;
    const fmi2ValueReference vr[] = {4, 5, 6};
    const fmi2Real value[] = {7.0, 8.0, 9.0};
    EXPECT_EQ(fmi2SetReal(comp, vr, 3, value), fmi2Error);
    EXPECT_EQ(comp->realValues[4], 7.0);
    EXPECT_EQ(comp->realValues[5], 8.0);
    EXPECT_FALSE(comp->valuesDirty);
    EXPECT_EQ(comp->state, modelError);
    // The number of outputs is known from the initialization: only the reals are asked.
    EXPECT_EQ(facadeCalls(), (Calls{"getProp(inst,number_of_reals)", "setReal(inst,4,7.0)",
                                    "setReal(inst,5,8.0)"}));
    EXPECT_EQ(errors().back().text, "fmi2SetReal: Illegal value reference 6.");
    EXPECT_EQ(fmi2SetReal(comp, vr, 1, value), fmi2Error);
    EXPECT_EQ(errors().back().text, "fmi2SetReal: Illegal call sequence.");
    // Outputs can still be read after the error.
    fmi2Real out = 0;
    EXPECT_EQ(fmi2GetReal(comp, vr, 1, &out), fmi2OK);
    EXPECT_EQ(out, 7.0);
    fmi2FreeInstance(comp);
}

TEST_F(CoSimulation, ReadsAskTheCountButRefreshOnlyWhenNeeded) {
    FmuInstance* comp = readyToStep();
    comp->valuesDirty = fmi2True;
    EXPECT_EQ(fmi2GetReal(comp, nullptr, 0, nullptr), fmi2OK);
    EXPECT_TRUE(comp->valuesDirty);
    EXPECT_EQ(facadeCalls(), (Calls{"getProp(inst,number_of_reals)"}));

    // A count of 0 has no value reference to read: the host hears so.
    scriptProp("number_of_reals", "0");
    const fmi2ValueReference big[] = {4000000000u};
    fmi2Real value[] = {-1.0};
    EXPECT_EQ(fmi2GetReal(comp, big, 1, value), fmi2Error);
    EXPECT_EQ(errors().back().text, "fmi2GetReal: Illegal value reference 4000000000.");
    EXPECT_EQ(value[0], -1.0);

    // A count that grew since instantiation must not reach past the array.
    scriptProp("number_of_reals", "100");
    const fmi2ValueReference past[] = {6};
    EXPECT_EQ(fmi2GetReal(comp, past, 1, value), fmi2Error);
    EXPECT_EQ(errors().back().text, "fmi2GetReal: Illegal value reference 6.");
    fmi2Reset(comp);
    EXPECT_EQ(fmi2SetReal(comp, past, 1, value), fmi2Error);
    EXPECT_EQ(errors().back().text, "fmi2SetReal: Illegal value reference 6.");
    fmi2FreeInstance(comp);
}

TEST_F(CoSimulation, OtherTypesHaveNoVariables) {
    FmuInstance* comp = readyToStep();
    comp->valuesDirty = fmi2True;
    fmi2Integer ints[1];
    EXPECT_EQ(fmi2GetInteger(comp, nullptr, 0, nullptr), fmi2OK);
    const fmi2ValueReference vr[] = {0, 1};
    EXPECT_EQ(fmi2GetInteger(comp, vr, 1, ints), fmi2Error);
    EXPECT_FALSE(comp->valuesDirty);  // refreshed before the range check
    EXPECT_EQ(errors().back().text, "fmi2GetInteger: Illegal value reference 0.");
    fmi2Reset(comp);
    comp->logCategories[logFmiCall] = fmi2True;
    const fmi2Integer two[] = {1, 2};
    EXPECT_EQ(fmi2SetInteger(comp, vr, 2, two), fmi2Error);
    EXPECT_EQ(testHost().log[testHost().log.size() - 2].text, "fmi2SetInteger: nvr = 2");
    fmi2Reset(comp);
    const fmi2String text[] = {"x"};
    EXPECT_EQ(fmi2SetString(comp, vr, 1, text), fmi2Error);
    EXPECT_EQ(errors().back().text, "fmi2SetString: Illegal value reference 0.");
    fmi2FreeInstance(comp);
}

TEST_F(CoSimulation, StepSizeMustBePositive) {
    FmuInstance* comp = readyToStep();
    comp->time = 1.0;
    EXPECT_EQ(fmi2DoStep(comp, 2.0, -1.0, fmi2False), fmi2Error);
    EXPECT_EQ(errors().back().text, "fmi2DoStep: communication step size must be > 0. Fount -1.");
    EXPECT_EQ(comp->time, 1.0);
    EXPECT_EQ(comp->state, modelError);
    EXPECT_EQ(fmi2DoStep(comp, 2.0, 1.0, fmi2False), fmi2Error);
    EXPECT_EQ(errors().back().text, "fmi2DoStep: Illegal call sequence.");
    EXPECT_TRUE(facadeCalls().empty());
    fmi2FreeInstance(comp);
}

TEST_F(CoSimulation, StepTimesAndFailures) {
    FmuInstance* comp = readyToStep();
    comp->logCategories[logFmiCall] = fmi2True;
    scriptData({9.0, 8.0});
    ASSERT_EQ(fmi2DoStep(comp, 2.0, 0.5, fmi2False), fmi2OK);
    EXPECT_EQ(testHost().log[0].text,
              "fmi2DoStep: currentCommunicationPoint = 2, communicationStepSize = 0.5, "
              "noSetFMUStatePriorToCurrentPoint = fmi2False");
    fmi2Real time = 0;
    EXPECT_EQ(fmi2GetRealStatus(comp, fmi2LastSuccessfulTime, &time), fmi2OK);
    EXPECT_EQ(time, 2.0);

    scriptAnswer("doStepModel", false);
    scriptLastError("diverged");
    const double before[] = {comp->realValues[0], comp->realValues[1]};
    comp->valuesDirty = fmi2False;
    EXPECT_EQ(fmi2DoStep(comp, 2.5, 0.5, fmi2True), fmi2Error);
    EXPECT_EQ(errors().back().format, "Error: %s");
    EXPECT_EQ(errors().back().text, "Error: diverged");
    EXPECT_EQ(comp->state, modelError);
    EXPECT_EQ(comp->time, 2.5);
    EXPECT_EQ(comp->realValues[0], before[0]);
    EXPECT_EQ(comp->realValues[1], before[1]);
    EXPECT_FALSE(comp->valuesDirty);
    EXPECT_EQ(fmi2GetRealStatus(comp, fmi2LastSuccessfulTime, &time), fmi2Error);
    fmi2FreeInstance(comp);
}

TEST_F(CoSimulation, StepWithInputsOutsideTheArrayIsRefused) {
    FmuInstance* comp = readyToStep();
    scriptProp("number_of_inputs", "3");  // 4..6, but the array ends at 5
    EXPECT_EQ(fmi2DoStep(comp, 0.0, 1.0, fmi2False), fmi2Error);
    EXPECT_EQ(errors().back().text,
              "Error: The server's input block (value references 4 to 6) lies outside the 6 "
              "real values of the instance");
    for (const auto& call : facadeCalls()) EXPECT_EQ(call.find("doStepModel"), std::string::npos);
    fmi2FreeInstance(comp);
}

TEST_F(CoSimulation, TwoInstancesSideBySide) {
    for (bool firstFreedFirst : {true, false}) {
        scriptReset();
        scriptLayout("6", "2", "2");
        FmuInstance* a = readyToStep("a");
        FmuInstance* b = readyToStep("b");
        EXPECT_EQ(liveFacadeObjects(), 1);  // the first facade object was replaced and released
        scriptData({1.0, 2.0});
        ASSERT_EQ(fmi2DoStep(a, 0.0, 1.0, fmi2False), fmi2OK);
        scriptData({3.0, 4.0});
        ASSERT_EQ(fmi2DoStep(b, 0.0, 1.0, fmi2False), fmi2OK);
        EXPECT_EQ(a->realValues[0], 1.0);
        EXPECT_EQ(b->realValues[0], 3.0);
        FmuInstance* first = firstFreedFirst ? a : b;
        FmuInstance* second = firstFreedFirst ? b : a;
        const std::string secondName = second->instanceName;
        fmi2Terminate(first);
        fmi2FreeInstance(first);
        // The survivor still reaches the server.
        scriptReset();
        scriptProp("number_of_inputs", "2");
        scriptProp("number_of_outputs", "2");
        EXPECT_EQ(fmi2DoStep(second, 1.0, 1.0, fmi2False), fmi2OK);
        EXPECT_EQ(fmi2Terminate(second), fmi2OK);
        fmi2FreeInstance(second);
        const Calls calls = facadeCalls();
        EXPECT_EQ(calls.back(), "doFreeInstance(" + secondName + ")");
        EXPECT_EQ(calls[calls.size() - 2], "doTerminate(" + secondName + ")");
        EXPECT_EQ(liveFacadeObjects(), 0);
    }
    EXPECT_EQ(allocationsOutstanding(), 0u);
}

}  // namespace
