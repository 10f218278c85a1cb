// Memory status as the sampler uses it. Pure: no Windows header.
#ifndef SELVANE_PLATFORM_MEMORY_FIGURES_H
#define SELVANE_PLATFORM_MEMORY_FIGURES_H

#include "platform/fixed_width.h"

struct MemoryFigures {
  uint32_t loadPercent;    // 0..100
  uint64_t totalPhysical;  // bytes
  uint64_t availPhysical;  // bytes
};

#endif
