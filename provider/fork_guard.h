// fork() copies a Java VM's memory but not its threads: in a child process the VM hangs at
// the first call that needs one of them. The provider notes the process that found or
// started the VM and refuses to instantiate in any other.
#pragma once

#include <string>

// The calling process is the VM's.
void noteVmProcess();

// The calling process is a child of the VM's, made by fork().
bool forkedSinceVm();

// What the host's log says then, with what to do instead.
std::string forkedSinceVmMessage();
