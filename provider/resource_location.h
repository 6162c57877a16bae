// The FMU's resources folder from the file: URI a host passes to fmi2Instantiate.
#pragma once

#include "file_path.h"

#include <optional>

// The local folder the URI names, read as hosts write it: file:///abs, file:/abs,
// file://localhost/abs, Windows drives (file:///C:/x, file:/C:/x, file://C:/x) and
// percent-encoded UTF-8 bytes. Nothing for a null text, another scheme, another host or a
// broken escape.
std::optional<FilePath> resourceFolderOf(const char* location);
