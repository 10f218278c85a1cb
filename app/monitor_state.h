// The one process-wide record that both threads share.
//
// Ownership by thread:
// - written only at start-up, before the sampling thread exists: instance,
//   processorCount, machineProcessors, dfsOffAtStart, serialTemperature, recordFigures, remotePort,
//   recordPath, the rule texts, rmHandle, rmAvailable, icons;
// - written only by the main thread: processesPage, performancePage,
//   processList, threadList, listsPage, listOrder, listsPaused, affinitySet, contextMenu,
//   affinityMenu, priorityMenu;
// - written only by the sampling thread: frequencyScale, loadSample, the
//   histories, their marks and reset flags, processTable, processView, threadTable,
//   threadOwner, reportBuffer, listsWake, events (but for the page's target notes, added under
//   processLock).
// The main thread reads one row of processTable when the Processes page's
// menu opens: it copies the row under processLock, which the sampling thread
// holds while it writes the table (never while it sends a message).
// "Show Threads" hands its process handle over in threadRequest, under the
// same lock; the sampling thread takes it at its next pass and owns it then.
// A word that one thread writes while the other reads it is a SharedWord,
// read and written whole (platform/shared_word.h): no lock, no data race.
#ifndef SELVANE_APP_MONITOR_STATE_H
#define SELVANE_APP_MONITOR_STATE_H

#include "app/constants.h"
#include "app/state_lock.h"
#include "platform/fixed_width.h"
#include "platform/shared_word.h"
#include "platform/win32.h"
#include "resources/resource_ids.h"
#include "sampler/load_math.h"
#include "sampler/sample_cycle.h"
#include "ui/performance/history_series.h"
#include "ui/performance/page_pictures.h"
#include "ui/processes/process_table.h"
#include "ui/processes/process_view.h"

// Icons 108..119 loaded at start
const uint32_t kGaugeIconCount = IDI_GAUGE_LAST - IDI_GAUGE_FIRST + 1;

// A process chosen by "Show Threads", opened when the menu opened.
struct ThreadRequest {
  HANDLE process;  // null: no request
  uint32_t processId;
};

struct MonitorState {
  HINSTANCE instance;
  uint32_t processorCount;           // 1..kMaxProcessors, fixed after start-up
  uint32_t machineProcessors;        // every processor the platform reports: CPU shares are of all of them
  SharedWord<float> frequencyScale;  // CPU clock / its high corner, applied to every CPU load
  uint32_t cpuHistoryReset;          // lay the CPU history out at its next drawing
  uint32_t memHistoryReset;          // the same for the memory history
  HistorySeries cpuHistory[kMaxProcessors];
  HistorySeries memHistory;
  HistoryMarks cpuMarks;             // the histories' event marks
  HistoryMarks memMarks;
  PagePictures pictures;             // what the graphic controls show, for repaints
  uint32_t dfsOffAtStart;            // /d
  uint32_t serialTemperature;        // /s
  uint32_t recordFigures;            // /l: every cycle's figures on standard output
  uint32_t remotePort;               // /r: the remote endpoint's port; 0: none
  wchar_t recordPath[kPathChars];    // /lPATH: the record's file; empty: standard output
  wchar_t ruleTexts[kMaxTriggerRules][kRuleTextChars];  // /tRULE as given (cut to fit; see ruleTextChars)
  uint32_t ruleTextChars[kMaxTriggerRules];              // each rule's whole length
  uint32_t ruleTextCount;
  uint32_t rulesOver;                // /t options beyond kMaxTriggerRules
  EventState events;                 // the events ring, the clock watch, the triggers, the record's clock
  SharedWord<HWND> processesPage;    // the Processes page while it is active, else null
  SharedWord<HWND> performancePage;  // the Performance page while it is active, else null
  LoadSample loadSample;
  void* rmHandle;                // the open resource-manager connection
  uint32_t rmAvailable;          // the resource-manager library was loaded
  ProcessTable processTable;     // the process table and its counts
  ProcessView processView;       // what the process list shows, and its last list steps
  SharedWord<uint32_t> listOrder;    // the process list's order (ListOrderWord), set by its header
  SharedWord<uint32_t> listsPaused;  // the Pause box: the lists stay as they are
  SharedWord<HANDLE> listsWake;      // set by the page on a new order or a resume: shown at once
  SharedWord<uint32_t> affinitySet;  // the process whose affinity the menu set: read at the next pass
  CRITICAL_SECTION processLock;  // held around the sampler's pure writes and the main thread's copies
  SharedWord<HWND> processList;  // the Processes page's process list for the life of the page
  SharedWord<HWND> threadList;   // its thread list, the same
  SharedWord<HWND> listsPage;    // the page itself, the same: a pass's steps go to the lists through it
  ThreadTable threadTable;       // the threads of the process Show Threads chose
  HANDLE threadOwner;            // that process, held until it exits; null: none
  ThreadRequest threadRequest;   // a Show Threads not yet taken up by a pass
  HICON icons[kGaugeIconCount];
  wchar_t reportBuffer[kReportBufferChars];
  HMENU contextMenu;
  HMENU affinityMenu;
  HMENU priorityMenu;
};

extern MonitorState g_state;

// processLock as the state lock that the pure code takes.
extern const StateLock g_stateLock;

// Zero-fills the record and sets its defaults. Runs before anything else uses
// it (and between tests, which share one process image).
void ResetMonitorState();

#endif
