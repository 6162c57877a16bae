// Interrupts (SIGINT, SIGTERM, SIGHUP) and run timeouts. The first interrupt asks the run to
// stop at the next communication point and says so at once. The second abandons the step
// in progress: a watcher thread finishes the active run's result files and ends the
// process (exit 130). A third ends the process at once from the signal handler. A run that
// exceeds its timeout is abandoned the same way (exit 60).
#pragma once

#include <chrono>
#include <csignal>
#include <functional>
#include <string>

// Installs the signal handlers and starts the watcher thread.
void installInterruptHandling();

// Sends this process SIGTERM when the thread that started it ends (a parent that ended
// before this call leaves a stream of runs at the end of its input, which ends it too).
void endWithParent();

// Non-zero once an interrupt has asked the run to stop.
const volatile std::sig_atomic_t& stopRequested();

// Finishes the active run's result files when the process is ended during the run; the
// text says why. Called at most once per run, from whichever thread ends the process.
using AbandonRun = std::function<void(const std::string& reason)>;

// The run being watched while the object lives.
class RunWatch {
public:
    // `timeoutSeconds` > 0 abandons the run after that long, with `timeoutReason`.
    RunWatch(AbandonRun abandon, std::function<void()> tick, double timeoutSeconds,
             std::string timeoutReason);
    ~RunWatch();
    RunWatch(const RunWatch&) = delete;
    RunWatch& operator=(const RunWatch&) = delete;
};

// Finishes the watched run's files (if any) with the reason; for exit paths of the process
// that skip destructors. Does nothing when no run is watched or it was finished already.
void abandonWatchedRun(const std::string& reason);
