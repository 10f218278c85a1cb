// The pure half of one sampling cycle: from what the cycle read of the
// platform to what it shows. The sampling loop reads, runs AdvanceCycle, then
// writes into the pages; the benchmarks and the allocation
// count run the same function over a simulated machine. Pure: no Windows header.
#ifndef SELVANE_SAMPLER_SAMPLE_CYCLE_H
#define SELVANE_SAMPLER_SAMPLE_CYCLE_H

#include "app/constants.h"
#include "app/state_lock.h"
#include "platform/fixed_width.h"
#include "platform/memory_figures.h"
#include "platform/shared_word.h"
#include "sampler/load_math.h"
#include "sampler/status_format.h"
#include "ui/performance/gauge_geometry.h"
#include "ui/performance/history_series.h"
#include "ui/performance/page_pictures.h"
#include "ui/processes/process_table.h"
#include "ui/processes/process_view.h"

struct ClientSize {
  int32_t width;
  int32_t height;
};

// What one cycle read of the platform.
struct CycleReadings {
  const HardwareReadings* hardware;  // this cycle's reading of the chip; null without the library
  uint32_t nowMs;                    // the tick count
  uint32_t idle[kMaxProcessors];     // idle ms per processor
  uint32_t unread;                   // bit i: processor i's idle count could not be read
  uint32_t off;                      // bit i: processor i is switched off
  MemoryFigures memory;
  uint32_t graphs;                // bit g: the Performance page's graphic control g is there to draw
  ClientSize sizes[kGraphCount];  // their client sizes
  const PassReading* pass;        // this cycle's process reading; null: no pass
  uint32_t listOrder;             // with it: the process list's order ...
  uint32_t listsPaused;           // ... and whether the lists are paused
  uint32_t counted;               // without a pass: the snapshot was counted, as follows
  uint32_t processCount;
  uint32_t threadTotal;
};

// What a cycle advances: parts of the monitor's state and the sampler's own.
struct CycleState {
  const StateLock* lock;  // held while the cycle writes; null: no other thread reads
  uint32_t processorCount;
  uint32_t machineProcessors;
  uint32_t processTimesFromThreads;
  IdleCounters* idle;
  SharedWord<float>* frequencyScale;
  LoadSample* loadSample;
  wchar_t* reportBuffer;      // kReportBufferChars; takes the status block
  HistorySeries* cpuHistory;  // kMaxProcessors series
  uint32_t* cpuHistoryReset;
  HistorySeries* memHistory;
  uint32_t* memHistoryReset;
  ProcessTable* processTable;
  ProcessView* processView;
  ThreadTable* threadTable;
  PagePictures* pictures;  // the graphic controls' pictures, kept for repaints
};

// What the cycle shows besides the state it advanced.
struct CycleResults {
  uint32_t statusReady;  // the status block is in reportBuffer
};

// The status block and the frequency scale (with the chip's reading), the
// memory and processor loads, the pictures of the graphic controls there are
// (each history steps once), and the process tables (with a pass reading),
// in the order the cycle takes them, all under the state's lock.
void AdvanceCycle(const CycleState* state, const CycleReadings* readings, CycleResults* results);

#endif
