// Target lists for the frequency-scaling controls. Pure: no Windows header.
#ifndef SELVANE_UI_PERFORMANCE_DFS_TARGETS_H
#define SELVANE_UI_PERFORMANCE_DFS_TARGETS_H

#include "app/constants.h"
#include "platform/fixed_width.h"

// The domain list's items in order: item i is clock domain i + 1.
extern const wchar_t* const kDomainLabels[kClockDomainCount];

// A frequency typed in MHz as kHz. Above 4,294,967 MHz the product would wrap
// to a small, wrong clock, so it is held at the largest whole MHz that fits.
uint32_t TargetKhzFromMhz(uint32_t mhz);

// A fresh list with every position unchanged except the selected domain's
// (list item `listIndex`, position listIndex + 1), which gets `mhz`. Returns
// false, leaving `targets` untouched, when no domain item is selected.
bool BuildTargetList(int32_t listIndex, uint32_t mhz, uint32_t targets[kTargetListCount]);

// The list sent once when scaling is stopped at start-up: the page's own
// defaults ("CPU" at 1000 MHz), exactly what "Set" would send for them, so
// that the target reaches the CPU clock.
void BuildStartupTargetList(uint32_t targets[kTargetListCount]);

#endif
