// C++ side of the stand-in's control interface for the test programs.
#pragma once

#include "jvm_standin.h"

#include <string>
#include <vector>

// The lines of a text the stand-in hands back.
inline std::vector<std::string> standinLines(const char* text) {
    std::vector<std::string> lines;
    std::string line;
    for (const char* p = text; *p; ++p) {
        if (*p == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line.push_back(*p);
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

inline std::vector<std::string> standinViolations() { return standinLines(jvmStandinViolations()); }
inline std::vector<std::string> standinFacadeCalls() { return standinLines(jvmStandinFacadeCalls()); }
inline std::vector<std::string> standinJniCalls() { return standinLines(jvmStandinJniCalls()); }

// A fresh stand-in whose calling thread is the host's Java thread, with a server of six
// reals: outputs 0..1 (1.5 and 2.5), their copy 2..3, inputs 4..5.
inline void standinServer() {
    jvmStandinReset();
    jvmStandinBecomeJavaThread();
    jvmStandinProp("number_of_reals", "6");
    jvmStandinProp("number_of_outputs", "2");
    jvmStandinProp("number_of_inputs", "2");
    const double outputs[] = {1.5, 2.5};
    jvmStandinData(outputs, 2);
}

// The facade methods the library calls.
inline const std::vector<std::string>& facadeMethods() {
    static const std::vector<std::string> methods = {
        "create",          "doInitConnection", "doInstantiate",     "getLasterror",
        "getProp",         "doSetupExperiment", "doInitializeModel", "setReal",
        "doStepModel",     "getData",          "doTerminate",       "doFreeInstance"};
    return methods;
}
