// The states in which each exported function may be called.
#pragma once

#include "instance.h"

constexpr int maskSetupExperiment = modelInstantiated;
constexpr int maskEnterInitializationMode = modelInstantiated;
constexpr int maskExitInitializationMode = modelInitializationMode;
constexpr int maskNewDiscreteStates = modelEventMode;
constexpr int maskEnterContinuousTimeMode = modelEventMode;
constexpr int maskCompletedIntegratorStep = modelContinuousTimeMode;
constexpr int maskSetContinuousStates = modelContinuousTimeMode;
constexpr int maskEnterEventMode = modelEventMode | modelContinuousTimeMode;
constexpr int maskSetTime = modelEventMode | modelContinuousTimeMode;
constexpr int maskDoStep = modelStepComplete;
constexpr int maskSetRealInputDerivatives =
    modelInstantiated | modelInitializationMode | modelStepComplete;
constexpr int maskSetIntegerBooleanString =
    modelInstantiated | modelInitializationMode | modelEventMode | modelStepComplete;
constexpr int maskSetReal = maskSetIntegerBooleanString | modelContinuousTimeMode;
constexpr int maskCancelStep = modelStepInProgress;
constexpr int maskTerminate =
    modelEventMode | modelContinuousTimeMode | modelStepComplete | modelStepFailed;
constexpr int maskGetStatus =
    modelStepComplete | modelStepInProgress | modelStepFailed | modelTerminated;
constexpr int maskGetDerivatives =
    modelEventMode | modelContinuousTimeMode | modelTerminated | modelError;
constexpr int maskGetNominalsOfContinuousStates = maskGetDerivatives | modelInstantiated;
constexpr int maskGetEventIndicators = maskGetDerivatives | modelInitializationMode;
constexpr int maskGetContinuousStates = maskGetDerivatives | modelInitializationMode;
constexpr int maskGetRealOutputDerivatives =
    modelStepComplete | modelStepFailed | modelStepCanceled | modelTerminated | modelError;
constexpr int maskGetValues = 0x7fe & ~(modelInstantiated | modelStepInProgress);
constexpr int maskGetDirectionalDerivative = maskGetValues;
constexpr int maskFreeInstanceReset = 0x7fe & ~modelStepInProgress;
constexpr int maskFmuState = maskFreeInstanceReset;
constexpr int maskSetDebugLogging = 0x7fe;

static_assert(maskSetRealInputDerivatives == 0x026);
static_assert(maskSetIntegerBooleanString == 0x02e);
static_assert(maskSetReal == 0x03e);
static_assert(maskTerminate == 0x0b8);
static_assert(maskGetStatus == 0x2e0);
static_assert(maskGetDerivatives == 0x618);
static_assert(maskGetNominalsOfContinuousStates == 0x61a);
static_assert(maskGetEventIndicators == 0x61c);
static_assert(maskGetRealOutputDerivatives == 0x7a0);
static_assert(maskGetValues == 0x7bc);
static_assert(maskFreeInstanceReset == 0x7be);
