// Bindings of the Java facade com/korvan/kvbridge/KorvanSim. Each looks its method up on
// every call; only the facade object survives from one operation to the next.
#pragma once

#include "fmi2_types.h"

#include <string>
#include <vector>

// Creates the facade object through its static factory (no bracket: runs on the
// environment that java_setup has just taken).
void korvansim_setup();

// Bindings with their own bracket.
bool j_initConnection();
bool j_doInstantiate(const char* instanceName, const char* resourceLocation);
std::string j_getLasterror();
// The property's text; empty when the method is missing or answers null. *vmFailed (when
// given) becomes true when the VM itself failed the query: it could not make the argument
// strings or give the answer's characters, so the empty text is not the server's answer.
std::string j_getProp(const char* instanceName, const char* key, bool* vmFailed = nullptr);
bool j_doSetupExperiment(const char* instanceName, fmi2Real startTime, bool stopTimeDefined,
                         fmi2Real stopTime);
bool j_doInitializeModel(const char* instanceName);
void j_doTerminate(const char* instanceName);
// Answers whether the facade was told; it keeps the instance otherwise.
bool j_doFreeInstance(const char* instanceName);

// Bindings that run inside their caller's bracket.
void j_doSetReal(const char* instanceName, fmi2ValueReference vr, fmi2Real value);
fmi2Status j_stepModel(const char* instanceName, fmi2Real currentCommunicationPoint,
                       fmi2Real communicationStepSize, const std::vector<double>& inputs);
// The server's outputs; empty when the method is missing or answers null. *vmFailed (when
// given) becomes true only when the Java VM itself could not carry the call.
std::vector<double> j_getData(const char* instanceName, bool* vmFailed = nullptr);
