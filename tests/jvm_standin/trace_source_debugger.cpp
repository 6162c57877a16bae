// The Windows DLL writes its trace to the debugger output, read inside the process.
#include "trace_source.h"

#include "debugger_output.h"

void startTraceCapture() { startCapturingDebuggerOutput(); }
void stopTraceCapture() { stopCapturingDebuggerOutput(); }
bool traceReadable() { return true; }

std::vector<std::string> capturedTrace() {
    std::vector<std::string> texts;
    for (const DebuggerMessage& message : capturedDebuggerOutput()) texts.push_back(message.text);
    return texts;
}
