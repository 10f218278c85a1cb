// Processor and memory load arithmetic. Pure: no Windows header.
#ifndef SELVANE_SAMPLER_LOAD_MATH_H
#define SELVANE_SAMPLER_LOAD_MATH_H

#include "app/constants.h"
#include "platform/fixed_width.h"
#include "platform/shared_word.h"

// The latest measurement. Written by the sampling thread; each field is a whole
// word, atomic so that a reader on another thread never races.
struct LoadSample {
  SharedWord<float> cpuLoad[kMaxProcessors];  // 1.0 = a processor busy all the time at full clock
  SharedWord<float> memLoad;                  // memory load percent x 0.01
  // Bit i: processor i's load measured nothing this cycle (its count was
  // not read at one end, or the processor is off); its cpuLoad reads 0.
  SharedWord<uint32_t> noLoad;
  SharedWord<uint32_t> poweredOff;  // bit i: processor i is switched off
};

// Counters the sampling thread keeps from one cycle to the next.
struct IdleCounters {
  uint32_t prevTick;                  // ms
  uint32_t prevIdle[kMaxProcessors];  // idle ms per processor at the previous cycle
  uint32_t curIdle[kMaxProcessors];   // idle ms per processor at this cycle
  // Bit i: processor i's idle count could not be read at the previous cycle
  // (prevUnread) or at this one (curUnread), so that count measures nothing.
  uint32_t prevUnread;
  uint32_t curUnread;
  float busy[kMaxProcessors];  // the last cycle's busy fraction, before the clock scale
};

// Load of one processor over `elapsedMs`, of which `idleDeltaMs` were idle,
// scaled by the CPU clock's share of its upper limit. Unsigned tick arithmetic
// absorbs wrap-around; an idle delta larger than the interval (timer skew)
// counts as fully idle; a zero interval keeps `previous`.
float ComputeCpuLoad(uint32_t elapsedMs, uint32_t idleDeltaMs, float frequencyScale, float previous);

// The platform's memory load percentage as a fraction.
float ComputeMemLoad(uint32_t loadPercent);

// Computes the loads of processors 0..count-1 from
// `counters->curIdle` and `now`, stores them in `sample`, and moves the current
// idle counters into the previous ones. `count` is at most kMaxProcessors.
// A processor with an unread count at either end of the interval, or off
// (bit i of `off`) at either end, shows 0 and has no load: nothing was
// measured, and a switched-off processor's count stands still.
void AdvanceCpuLoads(IdleCounters* counters, uint32_t now, uint32_t count, float frequencyScale, uint32_t off,
                     LoadSample* sample);

// Whether idle counts say the platform keeps none: every processor's count
// 0 at both ends of an interval (a real count moves within a second unless
// every processor was busy from the start).
bool IdleCountsAbsent(const uint32_t* previous, const uint32_t* current, uint32_t count);

#endif
