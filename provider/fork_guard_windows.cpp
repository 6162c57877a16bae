// Windows makes no process by fork().
#include "fork_guard.h"

void noteVmProcess() {}

bool forkedSinceVm() { return false; }

std::string forkedSinceVmMessage() { return {}; }
