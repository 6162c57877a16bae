// A Win32 TLS slot, read by DllMain when a thread ends (DLL_THREAD_DETACH, which Windows does
// not send for the thread that ends the process).
#include "thread_marks.h"

#include <windows.h>

#include <mutex>

namespace {

DWORD markSlot = TLS_OUT_OF_INDEXES;
std::once_flag markSlotCreated;
char knownMark;
char attachedMark;

}  // namespace

void createThreadMarks() {
    std::call_once(markSlotCreated, [] { markSlot = TlsAlloc(); });
}

ThreadMark threadMark() {
    if (markSlot == TLS_OUT_OF_INDEXES) return ThreadMark::unknown;
    const void* mark = TlsGetValue(markSlot);
    if (!mark) return ThreadMark::unknown;
    return mark == &attachedMark ? ThreadMark::attached : ThreadMark::known;
}

void setThreadMark(ThreadMark mark) {
    if (markSlot == TLS_OUT_OF_INDEXES) return;
    TlsSetValue(markSlot, mark == ThreadMark::attached ? &attachedMark
                          : mark == ThreadMark::known  ? &knownMark
                                                       : nullptr);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_THREAD_DETACH && threadMark() == ThreadMark::attached) {
        setThreadMark(ThreadMark::unknown);
        detachEndingThread();
    }
    return TRUE;
}
