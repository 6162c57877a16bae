// file: URIs for folders handed to an FMU (its resource location).
#pragma once

#include <filesystem>
#include <string>

// "file:///..." for an absolute path: every byte other than the unreserved characters
// A-Z a-z 0-9 - . _ ~ and the separator / is percent-encoded (%20 for a blank, UTF-8 bytes
// one by one).
std::string fileUri(const std::filesystem::path& absolutePath);
