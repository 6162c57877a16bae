// Resources folders of unpacked FMUs for host tests, made under one temporary folder whose
// name holds a blank, so that every URI carries a percent escape.
#pragma once

#include <string>
#include <vector>

// Makes the folder <name> with a model.properties of the given lines (and copies the given
// files into it); answers its file: URI.
std::string resourceFolderUri(const std::string& name, const std::vector<std::string>& lines,
                              const std::vector<std::string>& files = {});
