// The Processes page's per-process and per-thread figures: CPU share, CPU
// time and memory usage, computed and formatted. Pure: no Windows header.
#ifndef SELVANE_UI_PROCESSES_PROCESS_FIGURES_H
#define SELVANE_UI_PROCESSES_PROCESS_FIGURES_H

#include <cstddef>

#include "app/constants.h"
#include "platform/fixed_width.h"

// CPU time and elapsed time are in 100 ns units (kTicksPerSecond), as the platform counts them.

// The share of the whole machine that `cpuNow - cpuBefore` of CPU time is over
// `elapsed` on `processors` processors, as a whole percentage 0..100 (100: every
// processor busy). Time going backwards, no elapsed time or no processor give 0.
uint32_t CpuSharePercent(uint64_t cpuBefore, uint64_t cpuNow, uint64_t elapsed, uint32_t processors);

// Brings a CPU column (`*shown`, in percent) to this pass and moves its base
// `*prevCpuTime` on: kNoFigure (an empty text) without a CPU time now (`known`
// false), 0 without one at the last pass (first seen). Returns the column's
// bit when its text changes.
uint32_t ShowCpuShare(uint64_t* shown, uint64_t* prevCpuTime, bool known, uint64_t cpuTime, uint64_t elapsed,
                      uint32_t processors, int subItem);

// "h:mm:ss" of a CPU time in whole seconds; hours are not wrapped.
void FormatCpuTime(wchar_t* out, size_t capacity, uint64_t seconds);

// A working set in whole kilobytes with thousands separators: "1,234 K".
void FormatMemUsage(wchar_t* out, size_t capacity, uint64_t kilobytes);

// `value` in decimal into `out`; returns `out`, or null when it does not fit.
const wchar_t* DecimalText(wchar_t* out, size_t capacity, int value);

#endif
