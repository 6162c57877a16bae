// The server-side instance and the exchange of real values for a step.
#pragma once

#include "instance.h"

#include <cstdint>

// Creates the server-side instance under its server key.
bool doInstantiate(const char* serverKey, const char* resourceLocation);

// Counts the server reports for the instance, asked anew on every call. False, with the
// reason in LastError, when the server gave none: the Java VM could not carry the query,
// the facade has no getProp, the server refused it (answered null) or answered a text that
// holds no number. A count that is not there is never taken for 0.
bool getNumberOfReals(const char* serverKey, int32_t& count);
bool getNumberOfInputs(const char* serverKey, int32_t& count);
bool getNumberOfOutputs(const char* serverKey, int32_t& count);
// The instance's number of outputs as last asked (by a step or a fetch), asked now when it
// never was; false, with the reason in LastError, when the server does not give it.
bool knownNumberOfOutputs(FmuInstance* comp, int32_t& count);
// A property text read as a base-10 count (leading blanks, a sign, the digits up to the
// first other character, saturated to 32 bits); false when it holds no digits.
bool parseCount(const char* text, int32_t& count);

// One communication step from comp->time: sends the input block, fetches the outputs. On
// failure LastError holds the reason: the bridge's own, or the server's, asked on the same
// attachment as the failed call.
fmi2Status stepModel(FmuInstance* comp, fmi2Real communicationStepSize);
// False (with the reason in LastError) when the Java VM could not carry the fetch: the
// values and valuesDirty are then unchanged.
bool getoutputsfromkorvan(FmuInstance* comp);
// Refreshes the output copy block (fetching the outputs first in initialization mode);
// false, with the reason in LastError, when the outputs or their count could not be had
// and the copy block was left as it was.
bool calculateValues(FmuInstance* comp);
fmi2Real getReal(const FmuInstance* comp, fmi2ValueReference vr);
