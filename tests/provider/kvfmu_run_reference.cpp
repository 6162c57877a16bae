#include "kvfmu_run_reference.h"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

}  // namespace

std::vector<std::vector<double>> kvfmuRunRows(const fs::path& fmu, double stop, double step,
                                              const std::vector<std::pair<std::string, double>>& inputs,
                                              const fs::path& scratch,
                                              const std::vector<std::pair<std::string, double>>& parameters) {
    fs::create_directories(scratch);
    const fs::path csv = scratch / (fmu.stem().string() + "-kvfmu-run.csv");
    std::vector<std::string> arguments = {KVFMU_RUN, fmu.string(), "--stop", number(stop),
                                          "--step", number(step), "-o", csv.string(), "--quiet"};
    for (const auto& [name, value] : inputs) {
        arguments.push_back("--set");
        arguments.push_back(name + "=" + number(value));
    }
    for (const auto& [name, value] : parameters) {
        arguments.push_back("--param");
        arguments.push_back(name + "=" + number(value));
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    EXPECT_EQ(posix_spawn(&child, KVFMU_RUN, nullptr, nullptr, argv.data(), environ), 0);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "kvfmu-run failed on " << fmu;

    std::vector<std::vector<double>> rows;
    std::ifstream file(csv);
    std::string line;
    std::getline(file, line);  // header
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<double> row;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');) row.push_back(std::strtod(cell.c_str(), nullptr));
        rows.push_back(row);
    }
    return rows;
}
