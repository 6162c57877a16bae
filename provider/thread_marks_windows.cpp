// A fiber-local storage slot whose callback runs when a thread ends (not for the thread that
// ends the process). The callback runs outside the loader lock, unlike DllMain's
// DLL_THREAD_DETACH: detaching from the VM can wait for the VM's own threads, which need
// that lock to start or end.
#include "thread_marks.h"

#include <windows.h>

#include <mutex>

namespace {

DWORD markSlot = FLS_OUT_OF_INDEXES;
std::once_flag markSlotCreated;
char knownMark;
char attachedMark;

void WINAPI threadEnds(void* mark) {
    if (mark == &attachedMark) detachEndingThread();
}

}  // namespace

void createThreadMarks() {
    std::call_once(markSlotCreated, [] { markSlot = FlsAlloc(threadEnds); });
}

ThreadMark threadMark() {
    if (markSlot == FLS_OUT_OF_INDEXES) return ThreadMark::unknown;
    const void* mark = FlsGetValue(markSlot);
    if (!mark) return ThreadMark::unknown;
    return mark == &attachedMark ? ThreadMark::attached : ThreadMark::known;
}

void setThreadMark(ThreadMark mark) {
    if (markSlot == FLS_OUT_OF_INDEXES) return;
    FlsSetValue(markSlot, mark == ThreadMark::attached ? &attachedMark
                          : mark == ThreadMark::known  ? &knownMark
                                                       : nullptr);
}
