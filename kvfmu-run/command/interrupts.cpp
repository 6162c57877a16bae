#include "interrupts.h"

#include "exit_codes.h"
#include "temporary_folder.h"

#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>

namespace {

volatile std::sig_atomic_t stopFlag = 0;
volatile std::sig_atomic_t signalCount = 0;

void writeMessage(const char* text, size_t length) {
    ssize_t ignored = write(STDERR_FILENO, text, length);
    (void)ignored;
}

// Async-signal-safe only: write, unlink/rmdir and friends, _exit.
void onSignal(int) {
    const int count = signalCount + 1;
    signalCount = count;
    if (count == 1) {
        stopFlag = 1;
        static const char message[] =
            "\nkvfmu-run: interrupted: the run stops at the next communication point "
            "(a second Ctrl-C abandons the step in progress)\n";
        writeMessage(message, sizeof message - 1);
    } else if (count >= 3) {
        static const char message[] = "\nkvfmu-run: error: interrupted three times: ending now\n";
        writeMessage(message, sizeof message - 1);
        removeTemporaryFoldersFromSignal();
        _exit(static_cast<int>(ExitCode::interrupted));
    }
    // The second one is the watcher's to act on.
}

}  // namespace

void endWithParent() {
    const pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) raise(SIGTERM);
}

namespace {

struct Watched {
    AbandonRun abandon;
    std::function<void()> tick;
    std::optional<std::chrono::steady_clock::time_point> deadline;
    std::string timeoutReason;
};

// Never destroyed: the watcher thread waits on them until the process ends.
std::mutex& watchMutex = *new std::mutex;
std::condition_variable& watchChanged = *new std::condition_variable;
std::optional<Watched>& watched = *new std::optional<Watched>;  // guarded by watchMutex
// The process is being ended: no new run starts to be watched.
std::atomic<bool> ending{false};

// Ends the process after finishing the watched run's files. Called with watchMutex held,
// which stays held while the run's files are finished: the run's own thread cannot end the
// watch (and free what the hook uses) meanwhile.
[[noreturn]] void endProcess(std::unique_lock<std::mutex>& lock, ExitCode code,
                             const std::string& message) {
    ending = true;
    if (watched && watched->abandon) {
        try {
            watched->abandon(message);
        } catch (...) {
        }
    }
    watched.reset();
    lock.unlock();
    std::fflush(nullptr);
    std::fprintf(stderr, "kvfmu-run: error: %s\n", message.c_str());
    std::fflush(stderr);
    removeTemporaryFolders();
    _exit(static_cast<int>(code));
}

void watch() {
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastTick = Clock::now();
    std::unique_lock<std::mutex> lock(watchMutex);
    for (;;) {
        watchChanged.wait_for(lock, std::chrono::milliseconds(20));
        if (signalCount >= 2) {
            endProcess(lock, ExitCode::interrupted,
                       "interrupted twice: ending now (the step in progress is abandoned)");
        }
        if (!watched) continue;
        const Clock::time_point now = Clock::now();
        if (watched->deadline && now >= *watched->deadline) {
            const std::string reason = watched->timeoutReason;
            endProcess(lock, ExitCode::runTimedOut, reason);
        }
        if (watched->tick && now - lastTick >= std::chrono::milliseconds(500)) {
            lastTick = now;
            watched->tick();  // never waits for the run's own thread
        }
    }
}

}  // namespace

void installInterruptHandling() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    // One handler at a time, so that the signals are counted one by one.
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
    // A closed output pipe shows up as a write error.
    std::signal(SIGPIPE, SIG_IGN);
    std::thread(watch).detach();
    // Exit paths that skip destructors (the Java VM ending the process, PLplot) finish the
    // watched run's files first.
    setFinalWords([] { abandonWatchedRun("the process was ended (see the error message)"); });
}

const volatile std::sig_atomic_t& stopRequested() {
    return stopFlag;
}

RunWatch::RunWatch(AbandonRun abandon, std::function<void()> tick, double timeoutSeconds,
                   std::string timeoutReason) {
    Watched run{std::move(abandon), std::move(tick), std::nullopt, std::move(timeoutReason)};
    if (timeoutSeconds > 0) {
        run.deadline = std::chrono::steady_clock::now() +
                       std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                           std::chrono::duration<double>(timeoutSeconds));
    }
    std::lock_guard<std::mutex> lock(watchMutex);
    if (!ending) watched = std::move(run);
    watchChanged.notify_all();
}

RunWatch::~RunWatch() {
    std::unique_lock<std::mutex> lock(watchMutex);
    // The watcher is ending the process: this run's files are its to finish, and the
    // process's exit code too.
    if (ending) watchChanged.wait(lock, [] { return false; });
    watched.reset();
}

void abandonWatchedRun(const std::string& reason) {
    // The watcher holds the lock briefly to flush; it holds it for good once it ends the
    // process itself, and then finishes the run's files.
    std::unique_lock<std::mutex> lock(watchMutex, std::defer_lock);
    for (int i = 0; i < 300 && !lock.try_lock(); ++i) {
        if (ending) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!lock || ending.exchange(true)) return;
    if (watched && watched->abandon) {
        try {
            watched->abandon(reason);
        } catch (...) {
        }
    }
    watched.reset();
}
