// Test sink of the trace channel: keeps every line in order.
#include "trace_recording.h"

#include "trace.h"

namespace {
std::vector<TraceLine> lines;
}

void debugTrace(const wchar_t* text) {
    std::string narrow;
    for (const wchar_t* p = text; *p; ++p) narrow.push_back(static_cast<char>(*p));
    lines.push_back({true, narrow});
}

void debugTrace(const char* text) { lines.push_back({false, text}); }

std::vector<TraceLine>& recordedTrace() { return lines; }
