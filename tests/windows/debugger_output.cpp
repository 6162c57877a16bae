#include "debugger_output.h"

#include <windows.h>

#include <cstring>

namespace {

// Not every MinGW header names the codes.
constexpr DWORD printExceptionNarrow = 0x40010006;  // DBG_PRINTEXCEPTION_C
constexpr DWORD printExceptionWide = 0x4001000A;    // DBG_PRINTEXCEPTION_WIDE_C

std::vector<DebuggerMessage> messages;
void* handler = nullptr;

std::string narrowFromWide(const wchar_t* text, size_t length) {
    std::string narrow;
    for (size_t i = 0; i < length && text[i]; ++i) narrow.push_back(static_cast<char>(text[i]));
    return narrow;
}

LONG CALLBACK recordDebugPrint(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    const DWORD code = record->ExceptionCode;
    if ((code != printExceptionNarrow && code != printExceptionWide) ||
        record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    // Parameter 0: length including the terminating zero; parameter 1: the text.
    const size_t length = static_cast<size_t>(record->ExceptionInformation[0]);
    const auto address = record->ExceptionInformation[1];
    if (code == printExceptionWide) {
        messages.push_back({true, narrowFromWide(reinterpret_cast<const wchar_t*>(address), length)});
        return EXCEPTION_CONTINUE_SEARCH;
    }
    const auto* text = reinterpret_cast<const char*>(address);
    std::string narrow(text, strnlen(text, length));
    // Windows hands a wide message that no debugger took on as a narrow one as well.
    if (!messages.empty() && messages.back().wide && messages.back().text == narrow)
        return EXCEPTION_CONTINUE_SEARCH;
    messages.push_back({false, narrow});
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void startCapturingDebuggerOutput() {
    messages.clear();
    handler = AddVectoredExceptionHandler(1, recordDebugPrint);
}

void stopCapturingDebuggerOutput() {
    if (handler) RemoveVectoredExceptionHandler(handler);
    handler = nullptr;
}

const std::vector<DebuggerMessage>& capturedDebuggerOutput() { return messages; }
