// The server-side instance and the exchange of real values for a step.
#pragma once

#include "instance.h"

#include <cstdint>

bool doInstantiate(const char* instanceName, const char* resourceLocation);

// Counts the server reports; a text that holds no number counts 0. Never cached.
int32_t getNumberOfReals(const char* instanceName);
int32_t getNumberOfInputs(const char* instanceName);
int32_t getNumberOfOutputs(const char* instanceName);
int32_t parseCount(const char* text);

// One communication step from comp->time: sends the input block, fetches the outputs.
fmi2Status stepModel(FmuInstance* comp, fmi2Real communicationStepSize);
void getoutputsfromkorvan(FmuInstance* comp);
void calculateValues(FmuInstance* comp);
fmi2Real getReal(const FmuInstance* comp, fmi2ValueReference vr);
