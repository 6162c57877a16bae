#include "instance_memory.h"

void releaseInstanceMemory(FmuInstance* comp) {
    const fmi2CallbackFreeMemory freeMemory = comp->functions->freeMemory;
    void* const blocks[] = {comp->realValues,     comp->integerValues,  comp->booleanValues,
                            comp->stringValues,   comp->indicatorFlags, comp->instanceName,
                            comp->fmuGUID,        comp->serverKey};
    for (void* block : blocks) {
        if (block) freeMemory(block);
    }
    freeMemory(comp);
}
