// Record mode (/l): a header line, then one comma-separated line of figures
// per sampling cycle, for plotting a run over time. A figure the platform
// lacks is an empty field. Pure: no Windows header.
#ifndef SELVANE_SAMPLER_RECORD_LINE_H
#define SELVANE_SAMPLER_RECORD_LINE_H

#include <cstddef>

#include "app/constants.h"
#include "platform/fixed_width.h"
#include "sampler/status_format.h"

// One cycle's figures as the record writes them.
struct RecordFigures {
  uint64_t elapsedMs;                // since the sampler started: never wraps
  uint32_t processorCount;           // 1..kMaxProcessors
  float load[kMaxProcessors];        // as the gauges show them: scaled by the CPU clock
  float busy[kMaxProcessors];        // before the clock scale
  uint32_t noLoad;                   // bit i: processor i has no load this cycle: its fields are empty
  const HardwareReadings* hardware;  // null without the chip's library
  uint32_t memoryLoadPercent;
  uint32_t countsKnown;  // the process and thread totals below are known
  uint32_t processCount;
  uint32_t threadTotal;
  char events[kEventsFieldChars];  // the cycle's event texts joined with ';', ASCII without commas; empty: none
  // Counters since the start, for the metrics (not in the line).
  uint32_t dfsTransitions;                 // scaling stopped or started
  uint32_t ruleCount;                      // the triggers in force
  uint32_t ruleFires[kMaxTriggerRules];    // how often each fired
};

// The header for `processorCount` processors, with "\r\n", as 8-bit text into
// `out` (capacity in bytes). Returns the bytes written, or 0 (and an empty
// text) when it does not fit.
size_t FormatRecordHeader(char* out, size_t capacity, uint32_t processorCount);

// One cycle's line, with "\r\n": seconds since the start (64-bit) with milliseconds;
// per processor its load and busy share in percent with one decimal (both
// empty for a processor with no load this cycle: switched off, its idle
// count unread, or a platform that keeps none); the CPU
// clock and its high corner in MHz; the memory load in percent; each clock
// domain's MHz and activity percent (CPU, AVP, SYS, AHB, APB, VID, EMC); the
// two temperatures in degrees C; the six pool figures in kB (carveout total,
// used, largest free block, then GART's); the process count and thread
// total; the cycle's events. Returns the bytes written, or 0 (and an empty text) when it does
// not fit.
size_t FormatRecordLine(char* out, size_t capacity, const RecordFigures& figures);

#endif
