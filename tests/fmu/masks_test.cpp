// Every function that takes an instance is accepted in exactly the states of its mask:
// in any other state it logs "Illegal call sequence." naming itself and leaves the
// instance in modelError. Runs without a Java VM: accepted calls that reach for the
// server find none and must still return.
#include "host.h"
#include "manual_instance.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct MaskedFunction {
    const char* name;
    int mask;
    std::function<void(FmuInstance*)> call;
};

const ModelState allStates[] = {modelInstantiated, modelInitializationMode, modelEventMode,
                                modelContinuousTimeMode, modelStepComplete, modelStepInProgress,
                                modelStepFailed, modelStepCanceled, modelTerminated, modelError};

std::vector<MaskedFunction> maskedFunctions() {
    static fmi2ValueReference vr[1] = {0};
    static fmi2Real reals[1];
    static fmi2Integer integers[1];
    static fmi2Boolean booleans[1];
    static fmi2String strings[1] = {"s"};
    static fmi2Status status;
    static fmi2EventInfo eventInfo;
    static fmi2FMUstate fmuState;
    static size_t size;
    static fmi2Byte bytes[1];
    return {
        {"fmi2SetDebugLogging", 0x7fe, [](FmuInstance* c) { fmi2SetDebugLogging(c, 0, 0, nullptr); }},
        {"fmi2SetupExperiment", 0x002, [](FmuInstance* c) { fmi2SetupExperiment(c, 0, 0, 0, 0, 1); }},
        {"fmi2EnterInitializationMode", 0x002, [](FmuInstance* c) { fmi2EnterInitializationMode(c); }},
        {"fmi2ExitInitializationMode", 0x004, [](FmuInstance* c) { fmi2ExitInitializationMode(c); }},
        {"fmi2Terminate", 0x0b8, [](FmuInstance* c) { fmi2Terminate(c); }},
        {"fmi2Reset", 0x7be, [](FmuInstance* c) { fmi2Reset(c); }},
        {"fmi2FreeInstance", 0x7be, [](FmuInstance* c) { fmi2FreeInstance(c); }},
        {"fmi2GetReal", 0x7bc, [](FmuInstance* c) { fmi2GetReal(c, vr, 1, reals); }},
        {"fmi2GetInteger", 0x7bc, [](FmuInstance* c) { fmi2GetInteger(c, vr, 1, integers); }},
        {"fmi2GetBoolean", 0x7bc, [](FmuInstance* c) { fmi2GetBoolean(c, vr, 1, booleans); }},
        {"fmi2GetString", 0x7bc, [](FmuInstance* c) { fmi2GetString(c, vr, 1, strings); }},
        {"fmi2SetReal", 0x03e, [](FmuInstance* c) { fmi2SetReal(c, vr, 1, reals); }},
        {"fmi2SetInteger", 0x02e, [](FmuInstance* c) { fmi2SetInteger(c, vr, 1, integers); }},
        {"fmi2SetBoolean", 0x02e, [](FmuInstance* c) { fmi2SetBoolean(c, vr, 1, booleans); }},
        {"fmi2SetString", 0x02e, [](FmuInstance* c) { fmi2SetString(c, vr, 1, strings); }},
        {"fmi2GetFMUstate", 0x7be, [](FmuInstance* c) { fmi2GetFMUstate(c, &fmuState); }},
        {"fmi2SetFMUstate", 0x7be, [](FmuInstance* c) { fmi2SetFMUstate(c, fmuState); }},
        {"fmi2FreeFMUstate", 0x7be, [](FmuInstance* c) { fmi2FreeFMUstate(c, &fmuState); }},
        {"fmi2SerializedFMUstateSize", 0x7be,
         [](FmuInstance* c) { fmi2SerializedFMUstateSize(c, fmuState, &size); }},
        {"fmi2SerializeFMUstate", 0x7be,
         [](FmuInstance* c) { fmi2SerializeFMUstate(c, fmuState, bytes, 1); }},
        {"fmi2DeSerializeFMUstate", 0x7be,
         [](FmuInstance* c) { fmi2DeSerializeFMUstate(c, bytes, 1, &fmuState); }},
        {"fmi2GetDirectionalDerivative", 0x7bc,
         [](FmuInstance* c) { fmi2GetDirectionalDerivative(c, vr, 1, vr, 1, reals, reals); }},
        {"fmi2EnterEventMode", 0x018, [](FmuInstance* c) { fmi2EnterEventMode(c); }},
        {"fmi2NewDiscreteStates", 0x008, [](FmuInstance* c) { fmi2NewDiscreteStates(c, &eventInfo); }},
        {"fmi2EnterContinuousTimeMode", 0x008, [](FmuInstance* c) { fmi2EnterContinuousTimeMode(c); }},
        {"fmi2CompletedIntegratorStep", 0x010,
         [](FmuInstance* c) { fmi2CompletedIntegratorStep(c, 0, booleans, booleans); }},
        {"fmi2SetTime", 0x018, [](FmuInstance* c) { fmi2SetTime(c, 1.0); }},
        {"fmi2SetContinuousStates", 0x010, [](FmuInstance* c) { fmi2SetContinuousStates(c, reals, 0); }},
        {"fmi2GetDerivatives", 0x618, [](FmuInstance* c) { fmi2GetDerivatives(c, reals, 0); }},
        {"fmi2GetEventIndicators", 0x61c, [](FmuInstance* c) { fmi2GetEventIndicators(c, reals, 1); }},
        {"fmi2GetContinuousStates", 0x61c, [](FmuInstance* c) { fmi2GetContinuousStates(c, reals, 0); }},
        {"fmi2GetNominalsOfContinuousStates", 0x61a,
         [](FmuInstance* c) { fmi2GetNominalsOfContinuousStates(c, reals, 0); }},
        {"fmi2SetRealInputDerivatives", 0x026,
         [](FmuInstance* c) { fmi2SetRealInputDerivatives(c, vr, 1, integers, reals); }},
        {"fmi2GetRealOutputDerivatives", 0x7a0,
         [](FmuInstance* c) { fmi2GetRealOutputDerivatives(c, vr, 1, integers, reals); }},
        {"fmi2DoStep", 0x020, [](FmuInstance* c) { fmi2DoStep(c, 0.0, 1.0, 0); }},
        {"fmi2CancelStep", 0x040, [](FmuInstance* c) { fmi2CancelStep(c); }},
        {"fmi2GetStatus", 0x2e0, [](FmuInstance* c) { fmi2GetStatus(c, fmi2DoStepStatus, &status); }},
        {"fmi2GetRealStatus", 0x2e0,
         [](FmuInstance* c) { fmi2GetRealStatus(c, fmi2LastSuccessfulTime, reals); }},
        {"fmi2GetIntegerStatus", 0x2e0,
         [](FmuInstance* c) { fmi2GetIntegerStatus(c, fmi2DoStepStatus, integers); }},
        {"fmi2GetBooleanStatus", 0x2e0,
         [](FmuInstance* c) { fmi2GetBooleanStatus(c, fmi2Terminated, booleans); }},
        {"fmi2GetStringStatus", 0x2e0,
         [](FmuInstance* c) { fmi2GetStringStatus(c, fmi2DoStepStatus, strings); }},
    };
}

TEST(StateMasks, EveryFunctionAcceptsExactlyItsStates) {
    const auto functions = maskedFunctions();
    ASSERT_EQ(functions.size(), 41u);  // the 44 less the three that take no instance
    for (const auto& f : functions) {
        for (ModelState state : allStates) {
            resetTestHost();
            fmi2CallbackFunctions callbacks = hostCallbacks();
            FmuInstance* comp = manualInstance(state, &callbacks);
            f.call(comp);
            const std::string refusal = std::string(f.name) + ": Illegal call sequence.";
            const auto refusals = logWithFormat("%s: Illegal call sequence.");
            const bool refused = !refusals.empty();
            const bool admitted = (f.mask & state) != 0;
            EXPECT_EQ(refused, !admitted) << f.name << " in state 0x" << std::hex << state;
            if (refused) {
                EXPECT_EQ(refusals.size(), 1u) << f.name;
                EXPECT_EQ(refusals[0].text, refusal);
                EXPECT_EQ(comp->state, modelError) << f.name;
            }
        }
    }
}

}  // namespace
