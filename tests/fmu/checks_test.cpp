// Entry checks, logging switches and instance-free answers, on hand-built instances in a
// process without a Java VM.
#include "checks.h"
#include "host.h"
#include "logging.h"
#include "manual_instance.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class Checks : public ::testing::Test {
protected:
    void SetUp() override { resetTestHost(); }
    FmuInstance* make(ModelState state) { return manualInstance(state, &callbacks); }

    const fmi2CallbackFunctions callbacks = hostCallbacks();
};

TEST_F(Checks, InstanceFreeAnswers) {
    EXPECT_STREQ(fmi2GetVersion(), "2.0");
    EXPECT_STREQ(fmi2GetTypesPlatform(), "default");
    const VersionRecord* version = getver();
    ASSERT_EQ(version, getver());
    EXPECT_EQ(version->values[0], 6);
    EXPECT_EQ(version->values[1], 1);
    EXPECT_EQ(version->values[2], 0);
    EXPECT_EQ(version->values[3], 96);
}

TEST_F(Checks, RefusedStateLogsOneErrorEvenWithEverySwitchOff) {
    FmuInstance* comp = make(modelStepComplete);
    EXPECT_EQ(fmi2EnterInitializationMode(comp), fmi2Error);
    ASSERT_EQ(testHost().log.size(), 1u);
    const LogRecord& r = testHost().log[0];
    EXPECT_EQ(r.status, fmi2Error);
    EXPECT_EQ(r.category, "logError");
    EXPECT_EQ(r.format, "%s: Illegal call sequence.");
    EXPECT_EQ(r.text, "fmi2EnterInitializationMode: Illegal call sequence.");
    EXPECT_EQ(r.instanceName, "inst");
    EXPECT_EQ(r.environment, callbacks.componentEnvironment);
    EXPECT_EQ(comp->state, modelError);
}

TEST_F(Checks, NullInstanceIsRefusedSilently) {
    EXPECT_EQ(fmi2EnterInitializationMode(nullptr), fmi2Error);
    EXPECT_EQ(fmi2SetDebugLogging(nullptr, fmi2True, 0, nullptr), fmi2Error);
    EXPECT_EQ(fmi2GetFMUstate(nullptr, nullptr), fmi2Error);
    fmi2FreeInstance(nullptr);
    EXPECT_TRUE(testHost().log.empty());
}

TEST_F(Checks, ValueReferenceBounds) {
    FmuInstance* comp = make(modelStepComplete);
    EXPECT_TRUE(vrOutOfRange(comp, "f", 0, 0));
    EXPECT_TRUE(vrOutOfRange(comp, "f", 0, -1));
    EXPECT_EQ(testHost().log.back().text, "f: Illegal value reference 0.");
    EXPECT_EQ(comp->state, modelError);
    comp->state = modelStepComplete;
    EXPECT_FALSE(vrOutOfRange(comp, "f", 4, 5));
    EXPECT_EQ(comp->state, modelStepComplete);
    EXPECT_TRUE(vrOutOfRange(comp, "f", 5, 5));
    EXPECT_TRUE(vrOutOfRange(comp, "f", 0xFFFFFFFFu, 5));
    EXPECT_EQ(testHost().log.back().text, "f: Illegal value reference 4294967295.");
    EXPECT_TRUE(vrOutOfRange(comp, "f", 0x80000000u, 0x7FFFFFFF));
}

TEST_F(Checks, CountAndNullArgumentMessages) {
    FmuInstance* comp = make(modelStepComplete);
    EXPECT_FALSE(invalidNumber(comp, "f", "nx", 0, 0));
    EXPECT_TRUE(invalidNumber(comp, "f", "nx", 2, 0));
    EXPECT_EQ(testHost().log.back().text, "f: Invalid argument nx = 2. Expected 0.");
    comp->state = modelStepComplete;
    int storage = 0;
    EXPECT_FALSE(nullPointer(comp, "f", "x[]", &storage));
    EXPECT_TRUE(nullPointer(comp, "f", "x[]", nullptr));
    EXPECT_EQ(testHost().log.back().text, "f: Invalid argument x[] = NULL.");
    EXPECT_EQ(comp->state, modelError);
}

TEST_F(Checks, ErrorStateRefusesTerminateButNotReset) {
    FmuInstance* comp = make(modelStepComplete);
    EXPECT_EQ(fmi2EnterInitializationMode(comp), fmi2Error);
    EXPECT_EQ(fmi2Terminate(comp), fmi2Error);
    EXPECT_EQ(comp->state, modelError);
    EXPECT_EQ(testHost().log.back().text, "fmi2Terminate: Illegal call sequence.");
    const size_t before = testHost().log.size();
    EXPECT_EQ(fmi2Reset(comp), fmi2OK);
    EXPECT_EQ(comp->state, modelInstantiated);
    EXPECT_EQ(testHost().log.size(), before);
}

TEST_F(Checks, UnsupportedFunctionKeepsState) {
    FmuInstance* comp = make(modelStepComplete);
    comp->logCategories[logFmiCall] = fmi2True;
    fmi2FMUstate state = nullptr;
    EXPECT_EQ(fmi2GetFMUstate(comp, &state), fmi2Error);
    ASSERT_EQ(testHost().log.size(), 2u);
    EXPECT_EQ(testHost().log[0].format, "fmi2GetFMUstate");
    EXPECT_EQ(testHost().log[0].status, fmi2OK);
    EXPECT_EQ(testHost().log[0].category, "logFmiCall");
    EXPECT_EQ(testHost().log[1].text, "fmi2GetFMUstate: Function not implemented.");
    EXPECT_EQ(comp->state, modelStepComplete);
    EXPECT_EQ(state, nullptr);
}

TEST_F(Checks, DebugLoggingSwitches) {
    FmuInstance* comp = make(modelStepComplete);
    EXPECT_EQ(fmi2SetDebugLogging(comp, fmi2True, 0, nullptr), fmi2OK);
    for (auto on : comp->logCategories) EXPECT_TRUE(on);
    // Switched on while all were off: no trace of its own.
    EXPECT_TRUE(testHost().log.empty());

    EXPECT_EQ(fmi2SetDebugLogging(comp, fmi2False, 0, nullptr), fmi2OK);
    for (auto on : comp->logCategories) EXPECT_FALSE(on);
    ASSERT_EQ(testHost().log.size(), 1u);  // the old switches let its own trace through
    EXPECT_EQ(testHost().log[0].format, "fmi2SetDebugLogging");
    EXPECT_FALSE(comp->loggingOn);

    // Off: traces stay away, errors still come.
    testHost().log.clear();
    EXPECT_EQ(fmi2EnterEventMode(comp), fmi2Error);
    ASSERT_EQ(testHost().log.size(), 1u);
    EXPECT_EQ(testHost().log[0].status, fmi2Error);
}

TEST_F(Checks, DebugLoggingNamesAreExact) {
    FmuInstance* comp = make(modelError);
    const fmi2String names[] = {"logFmiCall", "logall", nullptr, "LogError"};
    EXPECT_EQ(fmi2SetDebugLogging(comp, fmi2True, 4, names), fmi2OK);
    EXPECT_EQ(comp->state, modelError);
    EXPECT_FALSE(comp->logCategories[logAll]);
    EXPECT_FALSE(comp->logCategories[logError]);
    EXPECT_TRUE(comp->logCategories[logFmiCall]);
    EXPECT_FALSE(comp->logCategories[logEvent]);
    const auto warnings = logWithFormat("logging category '%s' is not supported by model");
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0].text, "logging category 'logall' is not supported by model");
    EXPECT_EQ(warnings[1].text, "logging category 'LogError' is not supported by model");
    EXPECT_EQ(warnings[0].status, fmi2Warning);
    EXPECT_EQ(warnings[0].category, "logError");
}

TEST_F(Checks, DebugLoggingWarningUsesEnvironmentTakenAtInstantiation) {
    int laterEnvironment = 0;
    FmuInstance* comp = make(modelStepComplete);
    fmi2CallbackFunctions changed = hostCallbacks(&laterEnvironment);
    comp->functions = &changed;
    const fmi2String names[] = {"nothing"};
    fmi2SetDebugLogging(comp, fmi2True, 1, names);
    ASSERT_EQ(testHost().log.size(), 1u);
    EXPECT_EQ(testHost().log[0].environment, callbacks.componentEnvironment);
}

TEST_F(Checks, DebugLoggingRefusesNullNameArray) {
    FmuInstance* comp = make(modelStepComplete);
    comp->logCategories[logEvent] = fmi2True;
    EXPECT_EQ(fmi2SetDebugLogging(comp, fmi2True, 2, nullptr), fmi2Error);
    ASSERT_EQ(testHost().log.size(), 1u);
    EXPECT_EQ(testHost().log[0].text, "fmi2SetDebugLogging: Invalid argument categories[] = NULL.");
    EXPECT_EQ(comp->state, modelError);
    EXPECT_TRUE(comp->logCategories[logEvent]);
}

}  // namespace
