// The hardware status text and the frequency scale. Pure: no Windows header.
#ifndef SELVANE_SAMPLER_STATUS_FORMAT_H
#define SELVANE_SAMPLER_STATUS_FORMAT_H

#include <cstddef>

#include "app/constants.h"
#include "platform/fixed_width.h"
#include "platform/resource_manager_api.h"

// One cycle's readings. The clock-usage records persist from cycle to cycle
// (a query that writes nothing leaves the last reading, zero at first); the
// temperatures and pool figures are cleared before each cycle's queries.
struct HardwareReadings {
  ClockUsage usage[kClockDomainCount];  // domain d at index d - 1
  int32_t tModule;                      // degrees C
  int32_t tCpu;
  int32_t stat[kMemStatCount];  // bytes; statistic s at index s - 1
};

// A domain's current clock in whole MHz, truncated.
uint32_t DomainMhz(const ClockUsage& usage);

// A domain's average activity as a whole percentage of its current clock,
// truncated; 0 for a stopped clock. Computed in 64 bits.
uint32_t DomainPercent(const ClockUsage& usage);

// Bytes to kB, rounding toward minus infinity (-1 B is -1 kB).
int32_t PoolKb(int32_t bytes);

// Formats the status block into `out` (capacity in characters, terminator
// included). Returns the characters written, or 0 (and an empty text) when it
// does not fit.
size_t FormatHardwareStatus(const HardwareReadings& readings, wchar_t* out, size_t capacity);

// The CPU clock against its high corner; a zero high corner keeps `previous`.
float ComputeFrequencyScale(const ClockUsage& cpu, float previous);

#endif
