#include "run_runner.h"

#include "numbers.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <zip.h>

#include <cmath>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <fstream>
#include <list>
#include <sstream>

namespace fs = std::filesystem;

extern char** environ;

#ifdef KVFMU_SANITIZE
extern "C" const char* __asan_default_options();
extern "C" const char* __ubsan_default_options();
#endif

Scratch::Scratch() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::path(SCRATCH_DIR) / (std::string(info->test_suite_name()) + "." + info->name());
    fs::remove_all(path_);
    temporary_ = path_ / "tmp dir 100%";
    fs::create_directories(temporary_);
}

void Scratch::write(const std::string& name, const std::string& text) const {
    std::ofstream(file(name), std::ios::binary) << text;
}

std::string Scratch::read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Scratch::leftovers() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(temporary_))
        names.push_back(entry.path().string());
    return names;
}

namespace {

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

namespace {

pid_t spawnRunner(const Scratch& scratch, const std::vector<std::string>& arguments,
                  bool onTerminal, const int* inputPipe, const int* outputPipe) {
    std::vector<std::string> texts{KVFMU_RUN};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    if (onTerminal) {
        std::string command;
        for (const auto& text : texts) command += shellQuoted(text) + " ";
        texts = {"/usr/bin/script", "-qec", command, "/dev/null"};
    }
    std::vector<char*> argv;
    for (auto& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);

    std::vector<std::string> environment{"TMPDIR=" + scratch.temporary().string()};
#ifdef KVFMU_SANITIZE
    // The instrumented runner runs a Java VM: it needs the options this program has.
    environment.push_back(std::string("ASAN_OPTIONS=") + __asan_default_options());
    environment.push_back(std::string("UBSAN_OPTIONS=") + __ubsan_default_options());
#endif
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('=') + 1);
        if (name != "TMPDIR=" && name != "ASAN_OPTIONS=" && name != "UBSAN_OPTIONS=") {
            environment.push_back(text);
        }
    }
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, scratch.path().c_str());
    if (inputPipe) {
        posix_spawn_file_actions_adddup2(&actions, inputPipe[0], 0);
        posix_spawn_file_actions_addclose(&actions, inputPipe[1]);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    if (outputPipe) {
        posix_spawn_file_actions_adddup2(&actions, outputPipe[1], 1);
        posix_spawn_file_actions_addclose(&actions, outputPipe[0]);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, scratch.file("runner.out").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    posix_spawn_file_actions_addopen(&actions, 2, scratch.file("runner.err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = -1;
    int failed = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(failed, 0) << "cannot start " << argv[0];
    return failed ? -1 : child;
}

}  // namespace

pid_t startRunner(const Scratch& scratch, const std::vector<std::string>& arguments,
                  bool onTerminal) {
    return spawnRunner(scratch, arguments, onTerminal, nullptr, nullptr);
}

PipedRunner startPipedRunner(const Scratch& scratch, const std::vector<std::string>& arguments) {
    int input[2], output[2];
    PipedRunner runner;
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "no pipe";
        return runner;
    }
    runner.pid = spawnRunner(scratch, arguments, false, input, output);
    close(input[0]);
    close(output[1]);
    runner.input = input[1];
    runner.output = output[0];
    return runner;
}

void sendTo(const PipedRunner& runner, const std::string& text) {
    for (size_t sent = 0; sent < text.size();) {
        const ssize_t written = write(runner.input, text.data() + sent, text.size() - sent);
        ASSERT_GT(written, 0) << "the runner does not read its standard input";
        sent += static_cast<size_t>(written);
    }
}

std::optional<std::string> lineFrom(const PipedRunner& runner) {
    std::string line;
    for (;;) {
        pollfd ready{runner.output, POLLIN, 0};
        if (poll(&ready, 1, 60000) != 1) return std::nullopt;
        char c = 0;
        if (read(runner.output, &c, 1) != 1) return std::nullopt;
        if (c == '\n') return line;
        line += c;
    }
}

RunnerResult finishPipedRunner(const Scratch& scratch, PipedRunner& runner) {
    if (runner.input >= 0) close(runner.input);
    std::string rest;
    while (std::optional<std::string> line = lineFrom(runner)) rest += *line + "\n";
    close(runner.output);
    RunnerResult result = waitForRunner(scratch, runner.pid);
    runner = PipedRunner{};
    result.out = rest;
    return result;
}

RunnerResult waitForRunner(const Scratch& scratch, pid_t child) {
    RunnerResult result;
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child) {
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    result.out = scratch.read("runner.out");
    result.err = scratch.read("runner.err");
    return result;
}

RunnerResult runRunner(const Scratch& scratch, const std::vector<std::string>& arguments,
                       bool onTerminal) {
    return waitForRunner(scratch, startRunner(scratch, arguments, onTerminal));
}

void makeVariant(const fs::path& archive, const fs::path& variant,
                 const std::map<std::string, std::optional<std::string>>& changes) {
    fs::copy_file(archive, variant, fs::copy_options::overwrite_existing);
    int error = 0;
    zip_t* zip = zip_open(variant.c_str(), 0, &error);
    ASSERT_TRUE(zip) << "libzip error " << error;
    std::list<std::string> buffers;  // libzip reads them at zip_close
    for (const auto& [name, content] : changes) {
        if (!content) {
            zip_int64_t index = zip_name_locate(zip, name.c_str(), 0);
            ASSERT_GE(index, 0) << name;
            zip_delete(zip, static_cast<zip_uint64_t>(index));
            continue;
        }
        const std::string& buffer = buffers.emplace_back(*content);
        zip_source_t* source = zip_source_buffer(zip, buffer.data(), buffer.size(), 0);
        ASSERT_GE(zip_file_add(zip, name.c_str(), source, ZIP_FL_OVERWRITE), 0) << name;
    }
    ASSERT_EQ(zip_close(zip), 0) << zip_strerror(zip);
}

std::string partialText(const Scratch& scratch, const std::string& name) {
    const std::string prefix = "." + name + ".";
    for (const auto& entry : fs::directory_iterator(scratch.path())) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            return scratch.read(entry.path().filename().string());
    }
    return {};
}

namespace {

std::uint32_t crc32Of(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

}  // namespace

void writeZip(const fs::path& archive, const std::vector<ZipEntry>& entries) {
    std::string local, central;
    for (const ZipEntry& entry : entries) {
        const std::uint32_t crc = crc32Of(entry.content);
        const auto size = static_cast<std::uint32_t>(entry.content.size());
        const std::uint32_t declared = entry.declaredSize ? entry.declaredSize : size;
        const auto offset = static_cast<std::uint32_t>(local.size());
        put32(local, 0x04034b50);
        for (unsigned field : {20u, 0u, 0u, 0u, 0x21u}) put16(local, field);  // 1980-01-01
        put32(local, crc);
        put32(local, size);
        put32(local, declared);
        put16(local, static_cast<unsigned>(entry.name.size()));
        put16(local, 0);
        local += entry.name + entry.content;

        put32(central, 0x02014b50);
        for (unsigned field : {20u, 20u, 0u, 0u, 0u, 0x21u}) put16(central, field);
        put32(central, crc);
        put32(central, size);
        put32(central, declared);
        for (unsigned field : {static_cast<unsigned>(entry.name.size()), 0u, 0u, 0u, 0u})
            put16(central, field);
        put32(central, 0);
        put32(central, offset);
        central += entry.name;
    }
    std::string end;
    put32(end, 0x06054b50);
    for (unsigned field : {0u, 0u, static_cast<unsigned>(entries.size()),
                           static_cast<unsigned>(entries.size())})
        put16(end, field);
    put32(end, static_cast<std::uint32_t>(central.size()));
    put32(end, static_cast<std::uint32_t>(local.size()));
    put16(end, 0);
    std::ofstream(archive, std::ios::binary) << local << central << end;
}

std::string readEntry(const fs::path& archive, const std::string& name) {
    int error = 0;
    zip_t* zip = zip_open(archive.c_str(), ZIP_RDONLY, &error);
    if (!zip) return {};
    std::string content;
    zip_stat_t stat;
    if (zip_stat(zip, name.c_str(), 0, &stat) == 0) {
        content.resize(stat.size);
        zip_file_t* file = zip_fopen(zip, name.c_str(), 0);
        if (file) {
            zip_fread(file, content.data(), content.size());
            zip_fclose(file);
        }
    }
    zip_discard(zip);
    return content;
}

std::vector<std::vector<double>> csvRows(const std::string& text, std::string* header) {
    std::vector<std::vector<double>> rows;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    if (header) *header = line;
    while (std::getline(in, line)) {
        if (line.rfind("#", 0) == 0) continue;  // a note on where the run stopped
        std::vector<double> row;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');) {
            std::optional<double> number = parseNumber(cell);
            EXPECT_TRUE(number) << "not a number: " << cell;
            row.push_back(number.value_or(NAN));
        }
        rows.push_back(row);
    }
    return rows;
}
