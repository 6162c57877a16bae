// The VM's own text ("Error occurred during initialization of VM", "Unrecognized option")
// through its "vfprintf" hook: while a start is under way it goes line by line to whoever
// starts the VM, since a host without a console would lose it; otherwise to the stream the
// VM chose.
#pragma once

#include <string>

// The function to give the VM as the extraInfo of its "vfprintf" option.
void* vmTextHook();

// From now on complete lines go to the sink.
void captureVmText(void (*sink)(const std::string& line));

// Passes on what is left of a line; then the text goes to its stream again.
void endVmTextCapture();
