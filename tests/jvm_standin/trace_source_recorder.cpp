// The Linux program links the library's code with the recording trace sink.
#include "trace_source.h"

#include "trace_recording.h"

void startTraceCapture() { recordedTrace().clear(); }
void stopTraceCapture() {}
bool traceReadable() { return true; }

std::vector<std::string> capturedTrace() {
    std::vector<std::string> texts;
    for (const TraceLine& line : recordedTrace()) texts.push_back(line.text);
    return texts;
}
