// kvfmu-run: runs an FMI 2.0 co-simulation FMU in a process with a Java VM.
#include "exit_codes.h"
#include "options.h"
#include "run.h"
#include "temporary_folder.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <exception>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

// The first signal asks the run to stop at the next communication point and clean up. A
// second one, for a step that does not come back, ends the process at once.
void requestStop(int) {
    if (!stopRequested) {
        stopRequested = 1;
        return;
    }
    static const char message[] = "\nkvfmu-run: error: interrupted twice: ending now\n";
    ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
    (void)ignored;
    removeTemporaryFoldersFromSignal();
    _exit(static_cast<int>(ExitCode::interrupted));
}

// The Java VM is told to leave these signals alone (-Xrs). A closed output pipe shows up as
// a write error.
void installSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

int fail(ExitCode code, const char* message) {
    std::fflush(stdout);
    std::fprintf(stderr, "kvfmu-run: error: %s\n", message);
    return static_cast<int>(code);
}

}  // namespace

int main(int argc, char** argv) {
    installSignalHandlers();
    try {
        std::optional<RunOptions> options = parseCommandLine(argc, argv);
        if (!options) return 0;
        run(*options, stopRequested);
        return 0;
    } catch (const RunError& error) {
        return fail(error.code(), error.what());
    } catch (const std::exception& error) {
        return fail(ExitCode::internalError, error.what());
    }
}
