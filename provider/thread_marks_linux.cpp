// A POSIX thread key: its destructor runs when a thread ends, never for the process's main
// thread leaving through exit().
#include "thread_marks.h"

#include <pthread.h>

#include <mutex>

namespace {

pthread_key_t markKey;
std::once_flag markKeyCreated;
char knownMark;
char attachedMark;

void threadEnds(void* mark) {
    if (mark == &attachedMark) detachEndingThread();
}

}  // namespace

void createThreadMarks() {
    std::call_once(markKeyCreated, [] { pthread_key_create(&markKey, threadEnds); });
}

ThreadMark threadMark() {
    const void* mark = pthread_getspecific(markKey);
    if (!mark) return ThreadMark::unknown;
    return mark == &attachedMark ? ThreadMark::attached : ThreadMark::known;
}

void setThreadMark(ThreadMark mark) {
    pthread_setspecific(markKey, mark == ThreadMark::attached ? &attachedMark
                                 : mark == ThreadMark::known  ? &knownMark
                                                              : nullptr);
}
