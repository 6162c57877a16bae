#include "fork_guard.h"

#include <sys/types.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<pid_t> vmProcess{0};

}  // namespace

void noteVmProcess() { vmProcess.store(getpid(), std::memory_order_release); }

bool forkedSinceVm() {
    const pid_t process = vmProcess.load(std::memory_order_acquire);
    return process != 0 && process != getpid();
}

std::string forkedSinceVmMessage() {
    return "this process was made by fork() from process " +
           std::to_string(vmProcess.load(std::memory_order_acquire)) +
           ", which runs the FMU's Java VM, and a Java VM does not survive fork(): it would hang "
           "here. Create FMU instances in a process that starts afresh (with Python's "
           "multiprocessing, the 'spawn' or 'forkserver' start method), or load the FMU only "
           "in the child processes, after they are made";
}
