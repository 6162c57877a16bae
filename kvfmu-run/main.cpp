// kvfmu-run: runs an FMI 2.0 co-simulation FMU in a process with a Java VM.
#include "exit_codes.h"
#include "interrupts.h"
#include "options.h"
#include "run.h"

#include <cstdio>
#include <exception>

namespace {

int fail(ExitCode code, const char* message) {
    std::fflush(stdout);
    std::fprintf(stderr, "kvfmu-run: error: %s\n", message);
    return static_cast<int>(code);
}

}  // namespace

int main(int argc, char** argv) {
    installInterruptHandling();
    try {
        std::optional<RunOptions> options = parseCommandLine(argc, argv);
        if (!options) return 0;
        if (options->endWithParent) endWithParent();
        run(*options);
        return 0;
    } catch (const RunError& error) {
        return fail(error.code(), error.what());
    } catch (const std::exception& error) {
        return fail(ExitCode::internalError, error.what());
    }
}
