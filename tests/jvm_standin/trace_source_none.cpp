// The shipped Linux library is built without trace lines: there is nothing to read.
#include "trace_source.h"

void startTraceCapture() {}
void stopTraceCapture() {}
bool traceReadable() { return false; }
std::vector<std::string> capturedTrace() { return {}; }
