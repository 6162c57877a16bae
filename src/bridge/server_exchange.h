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
// The number of reals for a caller that must not take a failure of the Java VM for a
// count of 0: false, with the reason in LastError, when the VM failed the query itself.
bool readNumberOfReals(const char* instanceName, int32_t& count);

// One communication step from comp->time: sends the input block, fetches the outputs.
// A step whose counts the VM failed to carry is not sent (fmi2Error, reason in LastError).
fmi2Status stepModel(FmuInstance* comp, fmi2Real communicationStepSize);
// False (with the reason in LastError) when the Java VM could not carry the fetch: the
// values and valuesDirty are then unchanged.
bool getoutputsfromkorvan(FmuInstance* comp);
// Refreshes the output copy block (fetching the outputs first in initialization mode);
// false, with the reason in LastError, when the VM failed the count query and the copy
// block was left as it was.
bool calculateValues(FmuInstance* comp);
fmi2Real getReal(const FmuInstance* comp, fmi2ValueReference vr);
