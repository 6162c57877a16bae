// The instance record and its blocks live in memory from the host's callbacks.
#pragma once

#include "instance.h"

// Gives back the eight blocks (those obtained) in field order, then the record.
void releaseInstanceMemory(FmuInstance* comp);
