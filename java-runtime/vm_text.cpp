#include "vm_text.h"

#include <jni.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {

std::mutex textLock;  // the VM prints from any of its threads
void (*textSink)(const std::string&) = nullptr;
std::string partLine;

void passOnLines(bool evenThePart) {
    for (size_t end; (end = partLine.find('\n')) != std::string::npos;) {
        std::string line = partLine.substr(0, end);
        partLine.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) textSink(line);
    }
    if (evenThePart && !partLine.empty()) textSink(partLine);
    if (evenThePart) partLine.clear();
}

jint JNICALL vmPrints(FILE* stream, const char* format, va_list arguments) {
    const std::lock_guard<std::mutex> hold(textLock);
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0) return length;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, arguments);
    text.pop_back();
    if (textSink) {
        partLine += text;
        passOnLines(false);
        return length;
    }
#ifdef _WIN32
    // The VM's stream belongs to the C runtime the VM was built with, not to ours: both
    // its streams end up on the process's standard error.
    (void)stream;
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
#else
    std::fputs(text.c_str(), stream);
#endif
    return length;
}

}  // namespace

void* vmTextHook() { return reinterpret_cast<void*>(&vmPrints); }

void captureVmText(void (*sink)(const std::string& line)) {
    const std::lock_guard<std::mutex> hold(textLock);
    textSink = sink;
    partLine.clear();
}

void endVmTextCapture() {
    const std::lock_guard<std::mutex> hold(textLock);
    if (textSink) passOnLines(true);
    textSink = nullptr;
}
