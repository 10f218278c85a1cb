// The Processes page's per-process figures: CPU share, CPU time and memory
// usage, computed and formatted. Pure: no Windows header.
#ifndef SELVANE_UI_PROCESSES_PROCESS_FIGURES_H
#define SELVANE_UI_PROCESSES_PROCESS_FIGURES_H

#include <cstddef>
#include <cstdint>

#include "app/constants.h"

// CPU time and elapsed time are in 100 ns units (kTicksPerSecond), as the platform counts them.

// The share of the whole machine that `cpuNow - cpuBefore` of CPU time is over
// `elapsed` on `processors` processors, as a whole percentage 0..100 (100: every
// processor busy). Time going backwards, no elapsed time or no processor give 0.
uint32_t CpuSharePercent(uint64_t cpuBefore, uint64_t cpuNow, uint64_t elapsed, uint32_t processors);

// The CPU share a list shows for a process or thread: kNoFigure (an empty
// text) without a CPU time now, 0 without one at the last pass (first seen).
uint64_t ShownCpuShare(bool known, uint64_t prevCpuTime, uint64_t cpuTime, uint64_t elapsed, uint32_t processors);

// "h:mm:ss" of a CPU time; hours are not wrapped.
void FormatCpuTime(wchar_t* out, size_t capacity, uint64_t cpuTime);

// A working set as whole kilobytes with thousands separators: "1,234 K".
void FormatMemUsage(wchar_t* out, size_t capacity, uint64_t bytes);

#endif
