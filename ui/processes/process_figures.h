// The Processes page's per-process figures: CPU share, CPU time and memory
// usage, computed and formatted. Pure: no Windows header.
#ifndef SELVANE_UI_PROCESSES_PROCESS_FIGURES_H
#define SELVANE_UI_PROCESSES_PROCESS_FIGURES_H

#include <cstddef>
#include <cstdint>

// CPU time and elapsed time are in 100 ns units, as the platform counts them.
constexpr uint64_t kTicksPerSecond = 10000000u;

// The share of the whole machine that `cpuNow - cpuBefore` of CPU time is over
// `elapsed` on `processors` processors, as a whole percentage 0..100 (100: every
// processor busy). Time going backwards, no elapsed time or no processor give 0.
uint32_t CpuSharePercent(uint64_t cpuBefore, uint64_t cpuNow, uint64_t elapsed, uint32_t processors);

// "h:mm:ss" of a CPU time; hours are not wrapped.
void FormatCpuTime(wchar_t* out, size_t capacity, uint64_t cpuTime);

// A working set as whole kilobytes with thousands separators: "1,234 K".
void FormatMemUsage(wchar_t* out, size_t capacity, uint64_t bytes);

#endif
