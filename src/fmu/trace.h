// The diagnostic trace channel. The Windows build writes every line to the debugger
// output; the Linux release build writes nothing and composes no lines; a test build
// may record the lines instead (see the sink files beside this one).
#pragma once

#include <sstream>

#if defined(KVFMU_TRACE_ON)
void debugTrace(const wchar_t* text);
void debugTrace(const char* text);
constexpr bool traceOn = true;
#else
inline void debugTrace(const wchar_t*) {}
inline void debugTrace(const char*) {}
constexpr bool traceOn = false;
#endif

// One narrow line made of its parts in the default stream format.
template <typename... Parts>
void debugTraceComposed(const Parts&... parts) {
    if constexpr (traceOn) {
        std::ostringstream line;
        (line << ... << parts);
        debugTrace(line.str().c_str());
    } else {
        ((void)parts, ...);
    }
}
