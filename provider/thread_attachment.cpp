// The parts of the thread handling that both platforms share; thread_marks_*.cpp keep the
// per-thread mark and call detachEndingThread when a marked thread ends.
#include "thread_attachment.h"

#include "thread_marks.h"

#include <atomic>

namespace {

std::atomic<JavaVM*> threadVm{nullptr};
constexpr jint javaVersion = JNI_VERSION_1_8;

}  // namespace

void useVmForThreads(JavaVM* vm) {
    createThreadMarks();
    threadVm.store(vm, std::memory_order_release);
}

void knowCallingThread() {
    JavaVM* vm = threadVm.load(std::memory_order_acquire);
    if (!vm || threadMark() != ThreadMark::unknown) return;
    void* env = nullptr;
    const jint status = vm->GetEnv(&env, javaVersion);
    if (status == JNI_OK) {
        setThreadMark(ThreadMark::known);
        return;
    }
    if (status != JNI_EDETACHED) return;
    char name[] = "FMU host thread";
    JavaVMAttachArgs arguments{javaVersion, name, nullptr};
    if (vm->AttachCurrentThreadAsDaemon(&env, &arguments) == JNI_OK)
        setThreadMark(ThreadMark::attached);
}

void detachCallingThreadAtEnd() { setThreadMark(ThreadMark::attached); }

JNIEnv* callingThreadEnv() {
    JavaVM* vm = threadVm.load(std::memory_order_acquire);
    void* env = nullptr;
    if (!vm || vm->GetEnv(&env, javaVersion) != JNI_OK) return nullptr;
    return static_cast<JNIEnv*>(env);
}

void detachEndingThread() {
    JavaVM* vm = threadVm.load(std::memory_order_acquire);
    void* env = nullptr;
    // Someone else may have detached it already.
    if (vm && vm->GetEnv(&env, javaVersion) == JNI_OK) vm->DetachCurrentThread();
}
