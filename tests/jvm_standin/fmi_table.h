// The FMI functions the stand-in cases call, reached the way the program's build reaches
// the library: linked in, or looked up in the shipped shared library.
#pragma once

#include "fmi2_function_table.h"

// Every member set; the test fails at the first call otherwise.
const Fmi2FunctionTable& fmi();
