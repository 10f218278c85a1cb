// Physical memory and its load, as the platform reports them.
#ifndef SELVANE_PLATFORM_MEMORY_STATUS_H
#define SELVANE_PLATFORM_MEMORY_STATUS_H

#include "platform/memory_figures.h"

// Fills `figures`. The desktop's counts exceed 32 bits; the device's always
// fit. A reading that fails leaves `figures` as they were.
void ReadMemoryStatus(MemoryFigures* figures);

#endif
