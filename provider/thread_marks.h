// What the provider knows of the calling thread, kept per thread by the platform, and the
// hook that runs when a thread the provider attached ends.
#pragma once

enum class ThreadMark { unknown, known, attached };

void createThreadMarks();
ThreadMark threadMark();
void setThreadMark(ThreadMark mark);

// Called on the ending thread for threads marked attached.
void detachEndingThread();
