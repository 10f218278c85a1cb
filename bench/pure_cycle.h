// The pure work of one sampling cycle with both pages active, over a
// simulated machine: what the cycle would read of the platform, handed to the
// program's own AdvanceCycle, and the list steps sent to lists that only
// count them. The benchmarks time it; the stress test runs it beside a
// reader on another thread. Pure: no Windows header.
#ifndef SELVANE_BENCH_PURE_CYCLE_H
#define SELVANE_BENCH_PURE_CYCLE_H

#include <cstdint>

#include "app/constants.h"
#include "sampler/sample_cycle.h"

constexpr uint32_t kPureProcessIdStep = 8;  // between one process id and the next

struct PureCycle {
  // The simulated machine.
  uint32_t processorCount;
  uint32_t cycle;
  uint32_t tick;                    // ms
  uint32_t idle[kMaxProcessors];    // running idle ms per processor
  uint32_t processCount;            // processes each reading holds
  uint32_t processesShown;          // the Processes page is shown: a pass each cycle
  uint32_t nextProcessId;           // the id the next new process gets
  HardwareReadings hardware;
  PassReading reading;
  // What the program keeps from cycle to cycle.
  IdleCounters counters;
  LoadSample sample;
  SharedWord<float> frequencyScale;
  HistorySeries cpuHistory[kMaxProcessors];
  uint32_t cpuHistoryReset;
  HistorySeries memHistory;
  uint32_t memHistoryReset;
  ProcessTable table;
  ProcessView view;
  ThreadTable threads;               // "Show Threads" on one process
  PagePictures pictures;
  HistoryMarks cpuMarks;
  HistoryMarks memMarks;
  EventState events;                 // with rules compiled into it, the triggers run
  uint32_t recordOn;                 // the record's line is made (/l, /r or /t)
  CycleResults results;
  wchar_t text[kReportBufferChars];  // the report buffer
  uint64_t listOperations;           // what the counting lists received
  const StateLock* lock;             // null while no other thread reads the state
};

// The name the simulated machine gives the process `processId`.
void NamePureProcess(wchar_t name[kSnapshotNameChars], uint32_t processId);

// Lays the machine out: `processCount` processes (at most kProcessCapacity) of
// four threads each, `processorCount` processors (1..kMaxProcessors), both
// pages shown.
void StartPureCycle(PureCycle* cycle, uint32_t processorCount, uint32_t processCount);

// One cycle: the readings of a second later, AdvanceCycle (status text and
// frequency scale, loads, the four graphic controls' pictures, the process
// tables with every process's CPU time summed from its threads, as on the
// device, and one process's threads listed), then both lists' steps. Each
// cycle one thread of every process has used the processor, one process
// changes its thread count, and one exits while a new one takes its place.
void RunPureCycle(PureCycle* cycle);

#endif
