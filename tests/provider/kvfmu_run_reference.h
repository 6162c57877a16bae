// The rows kvfmu-run computes for an FMU, the numbers every host must match: run as a child
// process with --stop, --step, --set (inputs) and --param (parameters), its CSV read back.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

std::vector<std::vector<double>> kvfmuRunRows(
    const std::filesystem::path& fmu, double stop, double step,
    const std::vector<std::pair<std::string, double>>& inputs, const std::filesystem::path& scratch,
    const std::vector<std::pair<std::string, double>>& parameters = {});
