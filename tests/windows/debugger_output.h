// Reads what the library writes to the debugger output, from inside the test process:
// OutputDebugString raises a debug-print exception, which a vectored exception handler
// sees before anything else does.
#pragma once

#include <string>
#include <vector>

struct DebuggerMessage {
    bool wide;  // arrived as a wide debug-print exception
    std::string text;
};

void startCapturingDebuggerOutput();
void stopCapturingDebuggerOutput();
// The messages since the capture started, one per OutputDebugString call.
const std::vector<DebuggerMessage>& capturedDebuggerOutput();
