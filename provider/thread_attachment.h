// Host threads and the Java VM. A thread the VM does not know is attached, as a daemon, at
// its first call into the FMU and stays attached until it ends, when it is detached: the
// library then finds every thread attached and spares each operation an attach and detach.
#pragma once

#include <jni.h>

// The VM that threads are attached to, set once.
void useVmForThreads(JavaVM* vm);

// Attaches the calling thread unless the VM knows it; cheap once it is known.
void knowCallingThread();

// The calling thread created the VM, which attached it: detach it when it ends (never at
// the end of the process's main thread, which ends the process).
void detachCallingThreadAtEnd();

// The calling thread's environment, null when it is not attached.
JNIEnv* callingThreadEnv();
