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
#include "sampler/cycle_events.h"
#include "sampler/load_math.h"
#include "sampler/record_line.h"
#include "sampler/status_format.h"
#include "sampler/trigger_rules.h"
#include "ui/performance/gauge_geometry.h"
#include "ui/performance/history_marks.h"
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
  uint32_t dfsState;  // the scaling state the library gave; 0: not asked
};

// The events and the triggers, and the record's clock. The page adds its
// targets to `notes` under the state lock; the rest is the sampling thread's.
struct EventState {
  EventLog log;
  ClockWatch watch;
  TargetNote notes[kTargetNoteCapacity];  // the page's targets since the last cycle
  uint32_t noteCount;
  TriggerRule rules[kMaxTriggerRules];
  uint32_t ruleCount;
  uint32_t cycle;      // cycles so far
  uint64_t elapsedMs;  // the record's clock: 64-bit, so it never wraps
  uint32_t lastMs;     // the tick count it last moved on from
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
  HistoryMarks* cpuMarks;  // the histories' event marks
  HistoryMarks* memMarks;
  EventState* events;
  uint32_t recordOn;  // the record's line is wanted (/l, /r or /t)
};

// What the cycle shows besides the state it advanced.
struct CycleResults {
  uint32_t statusReady;  // the status block is in reportBuffer
  uint32_t cycle;
  RecordFigures figures;          // the record's figures, its events included
  char line[kRecordLineChars];    // and its line, with recordOn; empty otherwise
  size_t lineLength;
  uint32_t fired;                 // bit r: trigger rule r fired at this cycle
};

// The status block and the frequency scale (with the chip's reading), the
// memory and processor loads, the process tables (with a pass reading), the
// record's figures with the cycle's events (the clocks' and the triggers'),
// and the pictures of the graphic controls there are (each history steps
// once, marked when the cycle had an event), in the order the cycle takes
// them, all under the state's lock.
void AdvanceCycle(const CycleState* state, const CycleReadings* readings, CycleResults* results);

#endif
