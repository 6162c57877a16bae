// resources/provider.conf: what an FMU's VM provider needs, written by kvfmu-pack. UTF-8
// text, one setting a line, "key value" separated by the first run of blanks. A '#' at the
// start of a line or after a blank starts a comment up to the end of the line; a '#' inside a
// value (-Dtag=a#b) is part of it. Blanks around a value do not count.
//   guid {…}           the FMU's GUID (exactly once)
//   facade-jar NAME    a jar in resources/ with the facade and the server's client (one or more)
//   vm-option OPTION   a Java VM option for a VM made for the FMU (any number, in order)
//   start VR VALUE     the start value of an input or parameter (any number)
#pragma once

#include "file_path.h"

#include <cstdint>
#include <string>
#include <vector>

struct StartValue {
    uint32_t valueReference;
    double value;
};

struct ProviderSettings {
    std::string guid;
    std::vector<std::string> facadeJars;
    std::vector<std::string> vmOptions;
    std::vector<StartValue> startValues;
};

struct SettingsReading {
    ProviderSettings settings;
    std::vector<std::string> problems;  // "line 3: unknown key 'x'", in line order
};

SettingsReading parseProviderSettings(const std::string& text);

// Reads the file; a file that cannot be read is one problem.
SettingsReading readProviderSettings(const FilePath& file);

// "the FMU's settings <file> are damaged or from another version of kvfmu-pack (pack the FMU
// again): line 3: unknown key 'x'; ..." with every problem of the reading.
std::string damagedSettingsMessage(const FilePath& file,
                                   const std::vector<std::string>& problems);

// The name of the file in an FMU's resources folder.
constexpr const char* providerSettingsFile = "provider.conf";
