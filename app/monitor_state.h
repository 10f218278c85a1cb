// The one process-wide record that both threads share.
//
// Ownership by thread:
// - written only at start-up, before the sampling thread exists: instance,
//   processorCount, dfsOffAtStart, serialTemperature, rmHandle, rmAvailable, icons;
// - written only by the main thread: processesPage, performancePage,
//   contextMenu, affinityMenu;
// - written only by the sampling thread: frequencyScale, loadSample, the
//   histories and their reset flags, processCount, threadTotal, reportBuffer.
// A word that one thread writes while the other reads it is a std::atomic,
// accessed with relaxed order: whole aligned words, no lock, no data race.
#ifndef SELVANE_APP_MONITOR_STATE_H
#define SELVANE_APP_MONITOR_STATE_H

#include <atomic>
#include <cstdint>

#include "app/constants.h"
#include "platform/win32.h"
#include "sampler/load_math.h"
#include "ui/performance/history_series.h"

struct MonitorState {
  HINSTANCE instance;
  uint32_t processorCount;              // 1..kMaxProcessors, fixed after start-up
  std::atomic<float> frequencyScale;    // CPU clock / its high corner, applied to every CPU load
  uint32_t cpuHistoryReset;             // lay the CPU history out at its next drawing
  uint32_t memHistoryReset;             // the same for the memory history
  HistorySeries cpuHistory[kMaxProcessors];
  HistorySeries memHistory;
  uint32_t dfsOffAtStart;               // /d
  uint32_t serialTemperature;           // /s
  std::atomic<HWND> processesPage;      // the Processes page while it is active, else null
  std::atomic<HWND> performancePage;    // the Performance page while it is active, else null
  LoadSample loadSample;
  void* rmHandle;                       // the open resource-manager connection
  uint32_t rmAvailable;                 // the resource-manager library was loaded
  uint32_t processCount;                // rows in use in the process table
  uint32_t threadTotal;                 // threads over the rows in use
  HICON icons[kGaugeIconCount];
  wchar_t reportBuffer[kReportBufferChars];
  HMENU contextMenu;
  HMENU affinityMenu;
};

extern MonitorState g_state;

// Zero-fills the record and sets its defaults. Runs before anything else uses
// it (and between tests, which share one process image).
void ResetMonitorState();

#endif
