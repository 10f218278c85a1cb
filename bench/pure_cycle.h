// The pure work of one sampling cycle with both pages active, over a
// simulated machine: the computations the program makes between its platform
// calls, in the program's order. The benchmarks time it; the allocation test
// counts what it allocates. Pure: no Windows header.
#ifndef SELVANE_BENCH_PURE_CYCLE_H
#define SELVANE_BENCH_PURE_CYCLE_H

#include <cstdint>

#include "app/constants.h"
#include "sampler/load_math.h"
#include "sampler/status_format.h"
#include "ui/performance/history_series.h"
#include "ui/processes/process_table.h"

struct PureCycle {
  // The simulated machine.
  uint32_t processorCount;
  uint32_t cycle;
  uint32_t tick;                    // ms
  uint32_t idle[kMaxProcessors];    // running idle ms per processor
  uint32_t memoryPercent;
  uint32_t processCount;            // processes each walk delivers
  uint32_t walked;                  // the walk's position among the processes
  uint32_t threadsWalked;           // and among the threads
  uint32_t nextProcessId;           // the id the next new process gets
  SnapshotEntry processes[kProcessCapacity];
  // What the program keeps from cycle to cycle.
  IdleCounters counters;
  LoadSample sample;
  float frequencyScale;
  HardwareReadings hardware;
  HistorySeries cpuHistory[kMaxProcessors];
  HistorySeries memHistory;
  ProcessTable table;
  ThreadTable threads;               // "Show Threads" on one process
  wchar_t text[kReportBufferChars];  // the report buffer
  uint64_t listOperations;           // what the recording list received
  int32_t checksum;                  // keeps the geometry from being optimised away
};

// Lays the machine out: `processCount` processes (at most kProcessCapacity),
// `processorCount` processors (1..kMaxProcessors); the histories laid out.
void StartPureCycle(PureCycle* cycle, uint32_t processorCount, uint32_t processCount);

// One cycle: the hardware status text and frequency scale, the loads, the
// gauge and history geometry with their figure texts, the byte-count texts,
// and a process pass into the recording lists: every process's CPU time
// summed from its threads (as on the device), one process's threads listed.
// Each cycle one thread of every process has used the processor, one process
// changes its thread count, and one exits while a new one takes its place.
void RunPureCycle(PureCycle* cycle);

// The parts alone, for the benchmarks.
void PureStatusStep(PureCycle* cycle);
void PureGeometryStep(PureCycle* cycle);
void PureProcessPass(PureCycle* cycle);

#endif
