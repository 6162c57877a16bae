// Running the built kvfmu-run as a child process in a scratch folder of the current test,
// with its own temporary directory, and making broken variants of the test FMU.
#pragma once

#include "exit_codes.h"

#include <sys/types.h>

#include <cstdint>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

// The process exit code of the runner's code.
inline int code(ExitCode exitCode) {
    return static_cast<int>(exitCode);
}

struct RunnerResult {
    int exitCode = -1;  // 128 + signal when the runner died of a signal
    std::string out;
    std::string err;
};

// A fresh folder for the current test, with a temporary directory whose name needs
// percent-encoding in a URI (a blank and a '%').
class Scratch {
public:
    Scratch();
    const std::filesystem::path& path() const { return path_; }
    const std::filesystem::path& temporary() const { return temporary_; }
    std::filesystem::path file(const std::string& name) const { return path_ / name; }
    void write(const std::string& name, const std::string& text) const;
    std::string read(const std::string& name) const;
    // What the runner left in its temporary directory.
    std::vector<std::string> leftovers() const;

private:
    std::filesystem::path path_;
    std::filesystem::path temporary_;
};

// Starts kvfmu-run with the arguments in the scratch folder; its output goes to files there.
// On a terminal: run through script(1), with standard output and error on a pseudo-terminal.
pid_t startRunner(const Scratch& scratch, const std::vector<std::string>& arguments,
                  bool onTerminal = false);
RunnerResult waitForRunner(const Scratch& scratch, pid_t child);
RunnerResult runRunner(const Scratch& scratch, const std::vector<std::string>& arguments,
                       bool onTerminal = false);

// kvfmu-run started with pipes for its standard input and output (stderr to runner.err).
struct PipedRunner {
    pid_t pid = -1;
    int input = -1;   // write end of its standard input
    int output = -1;  // read end of its standard output
};
PipedRunner startPipedRunner(const Scratch& scratch, const std::vector<std::string>& arguments);
// Writes the text to the runner's standard input.
void sendTo(const PipedRunner& runner, const std::string& text);
// The next line of the runner's standard output without its line end, waiting up to a
// minute; nothing at its end or when none came.
std::optional<std::string> lineFrom(const PipedRunner& runner);
// Closes the pipes and waits for the runner to end.
RunnerResult finishPipedRunner(const Scratch& scratch, PipedRunner& runner);

// A copy of the archive with entries replaced (text) or removed (nothing).
void makeVariant(const std::filesystem::path& archive, const std::filesystem::path& variant,
                 const std::map<std::string, std::optional<std::string>>& changes);
// A zip archive of stored entries written as given, also what libzip will not write: names
// that repeat, or a declared size (`declaredSize` > 0) that differs from the content.
struct ZipEntry {
    std::string name;
    std::string content;
    std::uint32_t declaredSize = 0;
};
void writeZip(const std::filesystem::path& archive, const std::vector<ZipEntry>& entries);
std::string readEntry(const std::filesystem::path& archive, const std::string& name);

// The text of the partial file that the runner writes beside `name` until the run ends
// (".name.XXXXXX"), or nothing.
std::string partialText(const Scratch& scratch, const std::string& name);

// The rows of a CSV file of numbers, after its header; comment lines ("# ...") skipped.
std::vector<std::vector<double>> csvRows(const std::string& text, std::string* header = nullptr);
