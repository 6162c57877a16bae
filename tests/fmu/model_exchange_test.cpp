// Model-exchange entry points and the co-simulation status queries: fixed answers and mode
// changes on hand-built instances, no server involved.
#include "host.h"
#include "logging.h"
#include "manual_instance.h"

#include <gtest/gtest.h>

namespace {

class FixedAnswers : public ::testing::Test {
protected:
    void SetUp() override { resetTestHost(); }
    FmuInstance* make(ModelState state) {
        FmuInstance* comp = manualInstance(state, &callbacks);
        comp->logCategories[logFmiCall] = fmi2True;
        return comp;
    }
    std::string lastText() const { return testHost().log.back().text; }

    const fmi2CallbackFunctions callbacks = hostCallbacks();
};

TEST_F(FixedAnswers, ModeChangesOfModelExchange) {
    FmuInstance* comp = make(modelEventMode);
    EXPECT_EQ(fmi2EnterContinuousTimeMode(comp), fmi2OK);
    EXPECT_EQ(comp->state, modelContinuousTimeMode);

    fmi2Boolean enterEventMode = 7, terminate = 7;
    EXPECT_EQ(fmi2CompletedIntegratorStep(comp, fmi2True, &enterEventMode, &terminate), fmi2OK);
    EXPECT_EQ(enterEventMode, fmi2False);
    EXPECT_EQ(terminate, fmi2False);

    EXPECT_EQ(fmi2SetTime(comp, 1.25), fmi2OK);
    EXPECT_EQ(comp->time, 1.25);
    EXPECT_EQ(lastText(), "fmi2SetTime: time=1.25");

    EXPECT_EQ(fmi2EnterEventMode(comp), fmi2OK);
    EXPECT_EQ(comp->state, modelEventMode);
    EXPECT_TRUE(comp->newEventIteration);

    comp->eventInfo.newDiscreteStatesNeeded = fmi2True;
    fmi2EventInfo info{1, 1, 1, 1, 1, 9.0};
    EXPECT_EQ(fmi2NewDiscreteStates(comp, &info), fmi2OK);
    EXPECT_FALSE(info.newDiscreteStatesNeeded || info.terminateSimulation ||
                 info.nominalsOfContinuousStatesChanged || info.valuesOfContinuousStatesChanged ||
                 info.nextEventTimeDefined);
    EXPECT_EQ(info.nextEventTime, 0.0);
    EXPECT_FALSE(comp->newEventIteration);
    EXPECT_EQ(comp->state, modelEventMode);

    // Entering event mode is allowed from continuous time, entering continuous time twice not.
    EXPECT_EQ(fmi2EnterContinuousTimeMode(comp), fmi2OK);
    EXPECT_EQ(fmi2EnterContinuousTimeMode(comp), fmi2Error);
    EXPECT_EQ(lastText(), "fmi2EnterContinuousTimeMode: Illegal call sequence.");
}

TEST_F(FixedAnswers, StateCountsAndArrays) {
    fmi2Real x[2] = {5.0, 5.0};
    FmuInstance* comp = make(modelContinuousTimeMode);
    EXPECT_EQ(fmi2SetContinuousStates(comp, x, 0), fmi2OK);
    EXPECT_EQ(fmi2SetContinuousStates(comp, nullptr, 0), fmi2Error);
    EXPECT_EQ(lastText(), "fmi2SetContinuousStates: Invalid argument x[] = NULL.");

    comp = make(modelEventMode);
    EXPECT_EQ(fmi2GetContinuousStates(comp, nullptr, 2), fmi2Error);
    EXPECT_EQ(lastText(), "fmi2GetContinuousStates: Invalid argument nx = 2. Expected 0.");
    EXPECT_EQ(comp->state, modelError);

    comp = make(modelEventMode);
    EXPECT_EQ(fmi2GetEventIndicators(comp, x, 0), fmi2Error);
    EXPECT_EQ(lastText(), "fmi2GetEventIndicators: Invalid argument ni = 0. Expected 1.");
    comp = make(modelEventMode);
    EXPECT_EQ(fmi2GetEventIndicators(comp, x, 1), fmi2OK);
    EXPECT_EQ(x[0], 0.0);
    EXPECT_EQ(x[1], 5.0);
    EXPECT_EQ(lastText(), "fmi2GetEventIndicators: z0 = 0");

    comp = make(modelInstantiated);
    EXPECT_EQ(fmi2GetNominalsOfContinuousStates(comp, x, 0), fmi2OK);
    EXPECT_EQ(lastText(), "fmi2GetNominalContinuousStates: x_nominal[0..-1] = 1.0");
    EXPECT_EQ(x[1], 5.0);
    EXPECT_EQ(fmi2GetNominalsOfContinuousStates(comp, x, 1), fmi2Error);
    EXPECT_EQ(lastText(), "fmi2GetNominalContinuousStates: Invalid argument nx = 1. Expected 0.");
    comp = make(modelStepComplete);
    EXPECT_EQ(fmi2GetNominalsOfContinuousStates(comp, x, 0), fmi2Error);
    EXPECT_EQ(lastText(), "fmi2GetNominalsOfContinuousStates: Illegal call sequence.");
}

TEST_F(FixedAnswers, NullOutPointersAreRefusedNotWritten) {
    FmuInstance* comp = make(modelEventMode);
    EXPECT_EQ(fmi2NewDiscreteStates(comp, nullptr), fmi2Error);
    EXPECT_EQ(lastText(), "fmi2NewDiscreteStates: Invalid argument eventInfo = NULL.");
    EXPECT_EQ(comp->state, modelError);

    comp = make(modelEventMode);
    EXPECT_EQ(fmi2GetEventIndicators(comp, nullptr, 1), fmi2Error);
    EXPECT_EQ(lastText(), "fmi2GetEventIndicators: Invalid argument eventIndicators[] = NULL.");

    comp = make(modelContinuousTimeMode);
    fmi2Boolean flag = 0;
    EXPECT_EQ(fmi2CompletedIntegratorStep(comp, 0, &flag, nullptr), fmi2Error);
    EXPECT_EQ(lastText(),
              "fmi2CompletedIntegratorStep: Invalid argument terminateSimulation = NULL.");

    comp = make(modelStepComplete);
    EXPECT_EQ(fmi2GetRealStatus(comp, fmi2LastSuccessfulTime, nullptr), fmi2Error);
    EXPECT_EQ(lastText(), "fmi2GetRealStatus: Invalid argument value = NULL.");
    comp = make(modelStepComplete);
    EXPECT_EQ(fmi2GetBooleanStatus(comp, fmi2Terminated, nullptr), fmi2Error);
    EXPECT_EQ(lastText(), "fmi2GetBooleanStatus: Invalid argument value = NULL.");

    comp = make(modelStepComplete);
    const fmi2ValueReference vr[2] = {0, 1};
    EXPECT_EQ(fmi2GetRealOutputDerivatives(comp, vr, 2, nullptr, nullptr), fmi2Error);
    EXPECT_EQ(lastText(), "fmi2GetRealOutputDerivatives: Invalid argument value[] = NULL.");
}

TEST_F(FixedAnswers, StatusQueriesOfASynchronousStep) {
    FmuInstance* comp = make(modelStepComplete);
    comp->time = 2.0;
    fmi2Status status = fmi2Fatal;
    EXPECT_EQ(fmi2GetStatus(comp, fmi2DoStepStatus, &status), fmi2Discard);
    EXPECT_EQ(status, fmi2Fatal);
    ASSERT_EQ(testHost().log.size(), 2u);
    EXPECT_EQ(testHost().log[0].text, "fmi2GetStatus: fmi2StatusKind = fmi2DoStepStatus");
    EXPECT_EQ(testHost().log[1].status, fmi2Error);
    EXPECT_EQ(testHost().log[1].text,
              "fmi2GetStatus: Can be called with fmi2DoStepStatus when fmi2DoStep returned "
              "fmi2Pending. This is not the case.");

    testHost().log.clear();
    EXPECT_EQ(fmi2GetStatus(comp, static_cast<fmi2StatusKind>(7), &status), fmi2Discard);
    ASSERT_EQ(testHost().log.size(), 1u);  // the call log only

    fmi2Real time = 0;
    EXPECT_EQ(fmi2GetRealStatus(comp, fmi2LastSuccessfulTime, &time), fmi2OK);
    EXPECT_EQ(time, 2.0);
    fmi2Boolean terminated = 5;
    EXPECT_EQ(fmi2GetBooleanStatus(comp, fmi2Terminated, &terminated), fmi2OK);
    EXPECT_EQ(terminated, fmi2False);
    EXPECT_EQ(fmi2GetBooleanStatus(comp, fmi2DoStepStatus, &terminated), fmi2Discard);
    EXPECT_EQ(lastText(),
              "fmi2GetBooleanStatus: Can be called with fmi2DoStepStatus when fmi2DoStep "
              "returned fmi2Pending. This is not the case.");
    EXPECT_EQ(comp->state, modelStepComplete);

    EXPECT_EQ(fmi2CancelStep(comp), fmi2Error);
    EXPECT_EQ(comp->state, modelError);
}

TEST_F(FixedAnswers, DerivativesAreRefusedButOutputsZeroed) {
    FmuInstance* comp = make(modelStepComplete);
    const fmi2ValueReference vr[3] = {0, 1, 2};
    const fmi2Integer order[3] = {1, 1, 1};
    fmi2Real value[3] = {4, 4, 4};
    EXPECT_EQ(fmi2GetRealOutputDerivatives(comp, vr, 3, order, value), fmi2Error);
    EXPECT_EQ(value[0] + value[1] + value[2], 0.0);
    EXPECT_EQ(lastText(),
              "fmi2GetRealOutputDerivatives: ignoring function call. This model cannot compute "
              "derivatives of outputs: MaxOutputDerivativeOrder=\"0\"");
    EXPECT_EQ(fmi2SetRealInputDerivatives(comp, vr, 3, order, value), fmi2Error);
    EXPECT_EQ(lastText(),
              "fmi2SetRealInputDerivatives: ignoring function call. This model cannot "
              "interpolate inputs: canInterpolateInputs=\"fmi2False\"");
    EXPECT_EQ(comp->state, modelStepComplete);
}

}  // namespace
