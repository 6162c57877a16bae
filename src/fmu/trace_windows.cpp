// Windows sink of the trace channel: each line goes to the debugger output as one
// message, exactly as given.
#include "trace.h"

#include <windows.h>

void debugTrace(const wchar_t* text) { OutputDebugStringW(text); }

void debugTrace(const char* text) { OutputDebugStringA(text); }
