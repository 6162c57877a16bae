// Bindings of the Java facade com/korvan/kvbridge/KorvanSim. Each looks its method up on
// every call; only the facade object survives from one operation to the next. Every
// per-instance method takes the instance's server key first (server_keys.h).
#pragma once

#include "fmi2_types.h"

#include <jni.h>

#include <string>
#include <vector>

// Creates a facade object through the class's static factory and answers it as a global
// reference (null when there is none), without making it the shared one: a set-up
// connects it first (no bracket: runs on the environment that java_setup has just taken).
jobject korvansim_setup();
// Makes the (connected) facade object the one every operation calls, releasing the one it
// replaces.
void publishFacade(jobject made);

// The server's answer to a property query.
struct PropertyAnswer {
    enum Kind {
        answered,  // the server's text is in text
        refused,   // the server answered null; text holds the facade's reason (may be empty)
        noMethod,  // the facade has no getProp, or there is no facade to ask
        vmFailed   // the Java VM could not carry the query; text says how
    } kind;
    std::string text;
};

// Bindings with their own bracket.
bool j_initConnection();
bool j_doInstantiate(const char* serverKey, const char* resourceLocation);
std::string j_getLasterror();
PropertyAnswer j_getProp(const char* serverKey, const char* property);
bool j_doSetupExperiment(const char* serverKey, fmi2Real startTime, bool stopTimeDefined,
                         fmi2Real stopTime);
bool j_doInitializeModel(const char* serverKey);
void j_doTerminate(const char* serverKey);
// Answers whether the facade was told (its method was called and threw nothing); it keeps
// the instance otherwise.
bool j_doFreeInstance(const char* serverKey);

// Bindings that run inside their caller's bracket.
void j_doSetReal(const char* serverKey, fmi2ValueReference vr, fmi2Real value);
fmi2Status j_stepModel(const char* serverKey, fmi2Real currentCommunicationPoint,
                       fmi2Real communicationStepSize, const std::vector<double>& inputs);
// The server's outputs; empty when the method is missing or answers null. *vmFailed (when
// given) becomes true only when the Java VM itself could not carry the call.
std::vector<double> j_getData(const char* serverKey, bool* vmFailed = nullptr);
