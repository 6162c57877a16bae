// The DLL as a host loads it, in a process where jvm.dll is present but no Java VM runs:
// everything that needs no VM answers as the Linux library does.
#include "fmi2_functions.h"
#include "host.h"
#include "kvfmu_guid.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class NoVm : public ::testing::Test {
protected:
    void SetUp() override { resetTestHost(); }

    fmi2Component instantiate(fmi2String name, fmi2String guid) {
        return instantiateWith(callbacks, name, guid);
    }
    static fmi2Component instantiateWith(const fmi2CallbackFunctions& functions,
                                         fmi2String name, fmi2String guid) {
        return fmi2Instantiate(name, fmi2CoSimulation, guid, "file:///tmp", &functions,
                               fmi2False, fmi2False);
    }

    // The one message a refused instantiation logs: status fmi2Error, category "error".
    void expectOneError(const std::string& instanceName, const std::string& format,
                        const std::string& text) {
        ASSERT_EQ(testHost().log.size(), 1u);
        const LogRecord& r = testHost().log[0];
        EXPECT_EQ(r.environment, callbacks.componentEnvironment);
        EXPECT_EQ(r.instanceName, instanceName);
        EXPECT_EQ(r.status, fmi2Error);
        EXPECT_EQ(r.category, "error");
        EXPECT_EQ(r.format, format);
        EXPECT_EQ(r.text, text);
    }

    const fmi2CallbackFunctions callbacks = hostCallbacks();
};

TEST_F(NoVm, InstanceFreeAnswers) {
    EXPECT_STREQ(fmi2GetVersion(), "2.0");
    EXPECT_STREQ(fmi2GetTypesPlatform(), "default");
    const VersionRecord* version = getver();
    ASSERT_EQ(version, getver());
    EXPECT_EQ(version->values[0], 6);
    EXPECT_EQ(version->values[1], 1);
    EXPECT_EQ(version->values[2], 0);
    EXPECT_EQ(version->values[3], 96);
}

TEST_F(NoVm, InstantiateWithoutFunctionsOrLoggerCallsNothing) {
    EXPECT_EQ(fmi2Instantiate("inst", fmi2CoSimulation, kvfmuGuid, "", nullptr, fmi2False,
                              fmi2False),
              nullptr);
    const fmi2CallbackFunctions noLogger = {nullptr, callbacks.allocateMemory,
                                            callbacks.freeMemory, nullptr,
                                            callbacks.componentEnvironment};
    EXPECT_EQ(instantiateWith(noLogger, "inst", kvfmuGuid), nullptr);
    EXPECT_TRUE(testHost().log.empty());
    EXPECT_TRUE(testHost().allocations.empty());
}

TEST_F(NoVm, InstantiateWithoutMemoryCallbacks) {
    const char* const message = "fmi2Instantiate: Missing callback function.";
    const fmi2CallbackFunctions noAllocate = {callbacks.logger, nullptr, callbacks.freeMemory,
                                              nullptr, callbacks.componentEnvironment};
    EXPECT_EQ(instantiateWith(noAllocate, "inst", kvfmuGuid), nullptr);
    expectOneError("inst", message, message);

    resetTestHost();
    const fmi2CallbackFunctions noFree = {callbacks.logger, callbacks.allocateMemory, nullptr,
                                          nullptr, callbacks.componentEnvironment};
    EXPECT_EQ(instantiateWith(noFree, nullptr, kvfmuGuid), nullptr);
    expectOneError("(null)", message, message);
}

TEST_F(NoVm, InstantiateWithoutInstanceName) {
    const char* const message = "fmi2Instantiate: Missing instance name.";
    EXPECT_EQ(instantiate(nullptr, kvfmuGuid), nullptr);
    expectOneError("?", message, message);

    resetTestHost();
    EXPECT_EQ(instantiate("", kvfmuGuid), nullptr);
    expectOneError("?", message, message);
}

TEST_F(NoVm, InstantiateWithoutGuid) {
    const char* const message = "fmi2Instantiate: Missing GUID.";
    EXPECT_EQ(instantiate("inst", nullptr), nullptr);
    expectOneError("inst", message, message);

    resetTestHost();
    EXPECT_EQ(instantiate("inst", ""), nullptr);
    expectOneError("inst", message, message);
}

TEST_F(NoVm, InstantiateWithWrongGuid) {
    const char* const format = "fmi2Instantiate: Wrong GUID %s. Expected %s.";
    for (const std::string guid : {"{ba0a9140-44d0-41c3-aaa7-c152c647039f}",
                                   "BA0A9140-44D0-41C3-AAA7-C152C647039F"}) {
        resetTestHost();
        EXPECT_EQ(instantiate("inst", guid.c_str()), nullptr);
        expectOneError("inst", format,
                       "fmi2Instantiate: Wrong GUID " + guid + ". Expected " + kvfmuGuid + ".");
    }
}

TEST_F(NoVm, InstantiateWithoutJavaVmIsAProcessError) {
    EXPECT_EQ(instantiate("inst", kvfmuGuid), nullptr);
    ASSERT_EQ(testHost().log.size(), 2u);
    for (const LogRecord& r : testHost().log) {
        EXPECT_EQ(r.instanceName, "inst");
        EXPECT_EQ(r.status, fmi2Error);
        EXPECT_EQ(r.category, "error");
    }
    EXPECT_EQ(testHost().log[0].text, "fmi2Instantiate: Process error");
    // The reason: nothing failed that would have set one, there was just no VM.
    EXPECT_EQ(testHost().log[1].text, "");
    EXPECT_TRUE(testHost().allocations.empty());
}

TEST_F(NoVm, NullInstanceIsRefusedSilently) {
    const fmi2ValueReference vr[1] = {0};
    fmi2Real real[1] = {0};
    fmi2Integer integer[1] = {0};
    fmi2Boolean boolean[1] = {0};
    fmi2String string[1] = {nullptr};
    fmi2FMUstate state = nullptr;
    fmi2Byte bytes[1] = {0};
    size_t size = 0;
    fmi2EventInfo eventInfo{};
    fmi2Status status = fmi2OK;

    fmi2FreeInstance(nullptr);
    EXPECT_EQ(fmi2SetDebugLogging(nullptr, fmi2True, 0, nullptr), fmi2Error);
    EXPECT_EQ(fmi2SetupExperiment(nullptr, fmi2False, 0, 0, fmi2False, 1), fmi2Error);
    EXPECT_EQ(fmi2EnterInitializationMode(nullptr), fmi2Error);
    EXPECT_EQ(fmi2ExitInitializationMode(nullptr), fmi2Error);
    EXPECT_EQ(fmi2Terminate(nullptr), fmi2Error);
    EXPECT_EQ(fmi2Reset(nullptr), fmi2Error);

    EXPECT_EQ(fmi2GetReal(nullptr, vr, 1, real), fmi2Error);
    EXPECT_EQ(fmi2GetInteger(nullptr, vr, 1, integer), fmi2Error);
    EXPECT_EQ(fmi2GetBoolean(nullptr, vr, 1, boolean), fmi2Error);
    EXPECT_EQ(fmi2GetString(nullptr, vr, 1, string), fmi2Error);
    EXPECT_EQ(fmi2SetReal(nullptr, vr, 1, real), fmi2Error);
    EXPECT_EQ(fmi2SetInteger(nullptr, vr, 1, integer), fmi2Error);
    EXPECT_EQ(fmi2SetBoolean(nullptr, vr, 1, boolean), fmi2Error);
    EXPECT_EQ(fmi2SetString(nullptr, vr, 1, string), fmi2Error);

    EXPECT_EQ(fmi2GetFMUstate(nullptr, &state), fmi2Error);
    EXPECT_EQ(fmi2SetFMUstate(nullptr, state), fmi2Error);
    EXPECT_EQ(fmi2FreeFMUstate(nullptr, &state), fmi2Error);
    EXPECT_EQ(fmi2SerializedFMUstateSize(nullptr, state, &size), fmi2Error);
    EXPECT_EQ(fmi2SerializeFMUstate(nullptr, state, bytes, 1), fmi2Error);
    EXPECT_EQ(fmi2DeSerializeFMUstate(nullptr, bytes, 1, &state), fmi2Error);
    EXPECT_EQ(fmi2GetDirectionalDerivative(nullptr, vr, 1, vr, 1, real, real), fmi2Error);

    EXPECT_EQ(fmi2EnterEventMode(nullptr), fmi2Error);
    EXPECT_EQ(fmi2NewDiscreteStates(nullptr, &eventInfo), fmi2Error);
    EXPECT_EQ(fmi2EnterContinuousTimeMode(nullptr), fmi2Error);
    EXPECT_EQ(fmi2CompletedIntegratorStep(nullptr, fmi2False, &boolean[0], &boolean[0]),
              fmi2Error);
    EXPECT_EQ(fmi2SetTime(nullptr, 1), fmi2Error);
    EXPECT_EQ(fmi2SetContinuousStates(nullptr, real, 0), fmi2Error);
    EXPECT_EQ(fmi2GetDerivatives(nullptr, real, 0), fmi2Error);
    EXPECT_EQ(fmi2GetEventIndicators(nullptr, real, 1), fmi2Error);
    EXPECT_EQ(fmi2GetContinuousStates(nullptr, real, 0), fmi2Error);
    EXPECT_EQ(fmi2GetNominalsOfContinuousStates(nullptr, real, 0), fmi2Error);

    const fmi2Integer order[1] = {1};
    EXPECT_EQ(fmi2SetRealInputDerivatives(nullptr, vr, 1, order, real), fmi2Error);
    EXPECT_EQ(fmi2GetRealOutputDerivatives(nullptr, vr, 1, order, real), fmi2Error);
    EXPECT_EQ(fmi2DoStep(nullptr, 0, 1, fmi2False), fmi2Error);
    EXPECT_EQ(fmi2CancelStep(nullptr), fmi2Error);
    EXPECT_EQ(fmi2GetStatus(nullptr, fmi2DoStepStatus, &status), fmi2Error);
    EXPECT_EQ(fmi2GetRealStatus(nullptr, fmi2LastSuccessfulTime, &real[0]), fmi2Error);
    EXPECT_EQ(fmi2GetIntegerStatus(nullptr, fmi2DoStepStatus, &integer[0]), fmi2Error);
    EXPECT_EQ(fmi2GetBooleanStatus(nullptr, fmi2Terminated, &boolean[0]), fmi2Error);
    EXPECT_EQ(fmi2GetStringStatus(nullptr, fmi2PendingStatus, &string[0]), fmi2Error);

    EXPECT_TRUE(testHost().log.empty());
}

}  // namespace
