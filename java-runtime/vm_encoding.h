// Paths as the VM reads them. A VM reads its options, and on Linux file names too, in the
// encoding of the locale it starts under (Linux) or in the ANSI code page (Windows), not in
// UTF-8: under LANG=C an FMU in ".../Übungen/" is a folder it cannot find.
//   Linux: such a VM starts under the locale C.UTF-8 (the host's locale is the same again
//   afterwards), so that it reads the host's UTF-8 file names as they are.
//   Windows: a class path entry is given in the ANSI code page or by its short 8.3 name; the
//   VM reaches other files through wide strings.
#pragma once

#include "file_path.h"

#include <string>
#include <vector>

// The class path entries' texts for the VM, and the locale set for its start where needed;
// false with the reason, the encoding and the remedy when an entry has no form the VM can
// read.
bool prepareVmEncoding(const std::vector<FilePath>& jars,
                       std::vector<std::string>& entries, std::string& failure);

// After the VM's start: the process's locale settings as they were.
void endVmEncoding();
