// The diagnostic trace lines, in their order, as the recording sink of the test build keeps
// them: entry and check lines of the front end, lifecycle lines, and the lines of the
// bridge's set-up, step and output exchange.
#include "host.h"
#include "instance.h"
#include "java_host.h"
#include "java_vm.h"
#include "kvfmu_guid.h"
#include "trace_recording.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

Lines takeTrace() {
    Lines lines;
    for (const auto& line : recordedTrace()) lines.push_back(line.text);
    recordedTrace().clear();
    return lines;
}

class Trace : public ::testing::Test {
protected:
    void SetUp() override {
        resetTestHost();
        scriptReset();
        scriptLayout("6", "2", "2");
        scriptData({3.5, 4.5});
        recordedTrace().clear();
    }
    const fmi2CallbackFunctions callbacks = hostCallbacks();
};

TEST_F(Trace, LifecycleOfOneInstance) {
    const int32_t setUps = counter;
    auto* comp = static_cast<FmuInstance*>(
        fmi2Instantiate("inst", fmi2CoSimulation, kvfmuGuid, "file:///res", &callbacks, 0, 0));
    ASSERT_NE(comp, nullptr);
    EXPECT_EQ(takeTrace(),
              (Lines{"fmi2Instantiate", "inst", kvfmuGuid, "file:///res", "doInstantiate",
                     "counter: " + std::to_string(setUps + 1), "setup java", "java_setup...",
                     "GetEnv Done", "getJavaProperty: kv.root", "methodid getProperty OK",
                     "kv.root is empty", "java_setup DONE", "kvfmu/korvansim_setup...",
                     "j_initConnection", "j_doInstantiate", "Allocating memory",
                     "fmi2Instantiate DONE"}));

    fmi2SetupExperiment(comp, fmi2True, 1e-6, 0.0, fmi2True, 10.0);
    EXPECT_EQ(takeTrace(), (Lines{"fmi2SetupExperiment",
                                  "tolerance:1e-06. starttime: 0. stoptimedefined: 1. stoptime: 10",
                                  "doSetupExperiment...", "inst"}));
    fmi2EnterInitializationMode(comp);
    fmi2ExitInitializationMode(comp);
    EXPECT_EQ(takeTrace(),
              (Lines{"fmi2EnterInitializationMode", "fmi2ExitInitializationMode",
                     "Calling doInitializeModel", "doInitializeModel...", "inst",
                     "doInitializeModel returned true", "calculateValues",
                     "modelInitializationMode", "getoutputsfromkorvan", "j_getData\n",
                     "getoutputsfromkorvan. outputs.size: 2"}));

    const fmi2ValueReference vr[] = {4};
    const fmi2Real value[] = {1.25};
    fmi2SetReal(comp, vr, 1, value);
    EXPECT_EQ(takeTrace(), (Lines{"fmi2SetReal", "i: 0. vr[i]: 4. value[i]:1.25"}));

    fmi2DoStep(comp, 0.5, 0.25, fmi2False);
    EXPECT_EQ(takeTrace(), (Lines{"fmi2DoStep", "stepModel", "inst", "j_stepModel...",
                                  "getoutputsfromkorvan", "j_getData\n",
                                  "getoutputsfromkorvan. outputs.size: 2"}));

    const fmi2ValueReference out[] = {0};
    fmi2Real read[1];
    fmi2GetReal(comp, out, 1, read);
    EXPECT_EQ(takeTrace(), (Lines{"fmi2GetReal", "calculateValues",
                                  "getReal  time: 0.5  vr:0  value: 3.5", "return fmi2OK"}));

    fmi2Terminate(comp);
    fmi2FreeInstance(comp);
    EXPECT_EQ(takeTrace(), (Lines{"fmi2Terminate", "doTerminate", "inst", "fmi2FreeInstance",
                                  "doFreeInstance", "inst", "DeleteGlobalRef", "Done"}));
}

TEST_F(Trace, WideAndNarrowLines) {
    auto* comp = static_cast<FmuInstance*>(
        fmi2Instantiate("inst", fmi2CoSimulation, kvfmuGuid, "", &callbacks, 0, 0));
    const auto& lines = recordedTrace();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_TRUE(lines[0].wide);    // "fmi2Instantiate"
    EXPECT_FALSE(lines[1].wide);   // the instance name
    EXPECT_FALSE(lines[5].wide);   // "counter: …"
    EXPECT_TRUE(lines[6].wide);    // "setup java"
    fmi2FreeInstance(comp);
}

TEST_F(Trace, CheckLines) {
    auto* comp = static_cast<FmuInstance*>(
        fmi2Instantiate("inst", fmi2CoSimulation, kvfmuGuid, "", &callbacks, 0, 0));
    recordedTrace().clear();

    EXPECT_EQ(fmi2SetContinuousStates(nullptr, nullptr, 0), fmi2Error);
    EXPECT_EQ(takeTrace(), (Lines{"fmi2SetContinuousStates", "    invalidState !comp return true"}));

    const fmi2ValueReference big[] = {7};
    const fmi2Real value[] = {1.0};
    EXPECT_EQ(fmi2SetReal(comp, big, 1, value), fmi2Error);
    EXPECT_EQ(takeTrace(),
              (Lines{"fmi2SetReal", "    vrOutOfRange: return fmi2True. vr: 7. end: 6"}));

    fmi2Reset(comp);
    EXPECT_EQ(fmi2SetReal(comp, big, 1, nullptr), fmi2Error);
    EXPECT_EQ(takeTrace(), (Lines{"fmi2Reset", "fmi2SetReal", "    nullPointer: return fmi2True",
                                  "nullpointer value error"}));
    EXPECT_EQ(fmi2SetReal(comp, big, 1, value), fmi2Error);
    EXPECT_EQ(takeTrace(), (Lines{"fmi2SetReal", "    invalidState: modelError",
                                  "    invalidState: return true", "invalidState error"}));

    fmi2Reset(comp);
    fmi2FMUstate state = nullptr;
    fmi2GetFMUstate(comp, &state);
    fmi2Real x[1];
    fmi2GetDerivatives(comp, x, 0);      // refused in modelInstantiated
    fmi2GetEventIndicators(comp, x, 0);  // admitted in modelError, wrong count
    EXPECT_EQ(takeTrace(), (Lines{"fmi2Reset", "fmi2GetFMUstate", "unsupportedFunction",
                                  "fmi2GetDerivatives", "    invalidState: modelError",
                                  "    invalidState: return true", "fmi2GetEventIndicators",
                                  "    invalidNumber"}));
    fmi2FreeInstance(comp);
}

TEST_F(Trace, FailuresOfTheServer) {
    const int32_t setUps = counter;
    scriptAnswer("doInitConnection", false);
    EXPECT_EQ(fmi2Instantiate("inst", fmi2CoSimulation, kvfmuGuid, "", &callbacks, 0, 0), nullptr);
    const Lines refused = takeTrace();
    EXPECT_EQ(Lines(refused.end() - 2, refused.end()),
              (Lines{"j_initConnection", "FATAL ERROR: not connected"}));
    EXPECT_EQ(refused[5], "counter: " + std::to_string(setUps + 1));

    scriptReset();
    scriptLayout("6", "2", "2");
    auto* comp = static_cast<FmuInstance*>(
        fmi2Instantiate("inst", fmi2CoSimulation, kvfmuGuid, "", &callbacks, 0, 0));
    EXPECT_EQ(takeTrace()[5], "counter: " + std::to_string(setUps + 2));
    fmi2EnterInitializationMode(comp);
    fmi2ExitInitializationMode(comp);
    scriptAnswer("doStepModel", false);
    recordedTrace().clear();
    EXPECT_EQ(fmi2DoStep(comp, 0.0, 1.0, fmi2False), fmi2Error);
    // The server's reason is asked inside the step, on the attachment of the failed call.
    EXPECT_EQ(takeTrace(), (Lines{"fmi2DoStep", "stepModel", "inst", "j_stepModel...",
                                  "j_stepModel did not return fmi2OK: 3", "j_getLasterror",
                                  "stepModel did not return fmi2OK"}));
    fmi2FreeInstance(comp);
}

}  // namespace
