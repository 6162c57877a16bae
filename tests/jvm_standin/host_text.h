// Texts of what a host sees, the same in every build.
#pragma once

#include "fmi2_functions.h"

#include <cstdio>
#include <cstdlib>
#include <string>

inline const char* statusName(fmi2Status status) {
    switch (status) {
    case fmi2OK: return "fmi2OK";
    case fmi2Warning: return "fmi2Warning";
    case fmi2Discard: return "fmi2Discard";
    case fmi2Error: return "fmi2Error";
    case fmi2Fatal: return "fmi2Fatal";
    case fmi2Pending: return "fmi2Pending";
    }
    return "status?";
}

// The shortest text that reads back as the value.
inline std::string realText(double value) {
    char text[40];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    return text;
}
