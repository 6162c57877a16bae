// Where a test program reads the library's trace lines: the recorder of the test build
// linked into the Linux program, the debugger output of the Windows DLL, or nowhere for
// the shipped Linux library, which writes none.
#pragma once

#include <string>
#include <vector>

void startTraceCapture();
void stopTraceCapture();
// Whether this build's library writes trace lines that the program can read.
bool traceReadable();
std::vector<std::string> capturedTrace();
